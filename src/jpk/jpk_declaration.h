#pragma once
// Prolog, root, header and taxpayer of a JPK file, and the VAT-7 / VAT-7K
// declaration computed from the K table and the request.

#include "jpk/jpk_registers.h"

#include <string>
#include <string_view>

namespace vel::jpk {

// Namespaces of the published schemas.
inline constexpr std::string_view kNsVat3 = "http://jpk.mf.gov.pl/wzor/2017/11/13/1113/";
inline constexpr std::string_view kNsEtd2016 = "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/";
inline constexpr std::string_view kNsV7M1 = "http://crd.gov.pl/wzor/2020/05/08/9393/";
inline constexpr std::string_view kNsV7K1 = "http://crd.gov.pl/wzor/2020/05/08/9394/";
inline constexpr std::string_view kNsEtd2020 = "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2020/03/11/eD/DefinicjeTypy/";
inline constexpr std::string_view kNsV7M2 = "http://crd.gov.pl/wzor/2021/12/27/11148/";
inline constexpr std::string_view kNsV7K2 = "http://crd.gov.pl/wzor/2021/12/27/11149/";
inline constexpr std::string_view kNsEtd2021 = "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2021/06/08/eD/DefinicjeTypy/";
inline constexpr std::string_view kNsV7M3 = "http://crd.gov.pl/wzor/2025/12/19/14090/";
inline constexpr std::string_view kNsV7K3 = "http://crd.gov.pl/wzor/2025/12/19/14089/";
inline constexpr std::string_view kNsEtd2022 = "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2022/09/13/eD/DefinicjeTypy/";

inline constexpr std::string_view kSystemName = "Vel (WQA, WQB, WQC, WQm, WQn, WQp)";

// "yyyy-mm-ddThh:nn:ss" of the clock's local time.
std::string CreationTime(Program& program);

// Prolog, comment, root start tag, Naglowek and Podmiot1.
void WriteHeader(JpkRun& run, LineWriter& out, const std::string& creationTime);

// True when the file carries a declaration: JPK_V7 forms, monthly filers
// and quarterly filers at a quarter's last month.
bool DeclarationDue(const JpkRun& run);

// The declaration positions (and, in variant A, the values of the summary)
// from the K table and the request amounts.
void ComputeDeclaration(JpkRun& run);
// ComputeDeclaration, then Deklaracja when it is due.
void WriteDeclaration(JpkRun& run, LineWriter& out);

void WritePosition(const JpkRun& run, LineWriter& out, std::string_view name, double amount);
// For a net field: its tax field is not 0; for a tax field: its net field is not 0.
bool PairNonZero(const KTable& k, int n);

// Rounds an amount to whole zloty as the tax ordinance does: under 50 groszy
// down, 50 groszy and more away from zero. The amount is first taken to whole
// grosze, so that sums of two-decimal amounts that carry binary noise still
// round from their true value.
double RoundWhole(double amount);

// A text of the request as an element's content: "<" and an "&" that begins
// no entity reference are escaped, every other byte stays.
std::string EscapeRequestText(std::string_view text);

}  // namespace vel::jpk
