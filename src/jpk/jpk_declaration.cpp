#include "jpk/jpk_declaration.h"

#include "common/format.h"
#include "common/program.h"
#include "common/status.h"
#include "platform/clock.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <initializer_list>

namespace vel::jpk {

namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// The keys whose absence leaves "BRAK" in an element the schema checks.
void CheckKeyPresent(JpkRun& run, std::string_view key) {
    if (run.Key(key) == "BRAK") ShowStatus(run.program, "Brak klucza " + std::string(key));
}

}  // namespace

double RoundWhole(double amount) {
    // Whole grosze first, so that a binary residue never tips a half.
    const long long grosze = std::llround(amount * 100.0);
    const long long whole = grosze >= 0 ? (grosze + 50) / 100 : -((-grosze + 50) / 100);
    return static_cast<double>(whole);
}

std::string EscapeRequestText(std::string_view text) {
    if (text.find_first_of("&<") == std::string_view::npos) return std::string(text);
    // An entity reference already written stays as it is.
    auto entityAt = [text](std::size_t at) {
        const std::string_view rest = text.substr(at);
        for (std::string_view named : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
            if (rest.starts_with(named)) return true;
        }
        if (!rest.starts_with("&#")) return false;
        std::size_t i = 2;
        const bool hex = i < rest.size() && rest[i] == 'x';
        if (hex) ++i;
        const std::size_t digits = i;
        while (i < rest.size() && (std::isdigit(static_cast<unsigned char>(rest[i])) ||
                                   (hex && std::isxdigit(static_cast<unsigned char>(rest[i])))))
            ++i;
        return i > digits && i < rest.size() && rest[i] == ';';
    };
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<') out += "&lt;";
        else if (text[i] == '&' && !entityAt(i)) out += "&amp;";
        else out += text[i];
    }
    return out;
}

std::string CreationTime(Program& program) {
    const platform::DateTime t = program.sys.clock.now();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}

void WriteHeader(JpkRun& run, LineWriter& out, const std::string& creationTime) {
    out.WriteTag(0, "?xml version=\"1.0\" encoding=\"UTF-8\"?");
    out.WriteComment(0, std::string(kVersionTag));
    const std::string cel = run.Key("Cel");

    if (run.variant == Variant::A) {
        out.WriteRaw("<JPK xmlns:etd=" + Quoted(kNsEtd2016) + " xmlns=" + Quoted(kNsVat3) + ">");
        out.WriteTag(1, "Naglowek");
        out.WriteLeafAttr(2, "KodFormularza", "JPK_VAT", "kodSystemowy=\"JPK_VAT (3)\" wersjaSchemy=\"1-1\"");
        out.WriteLeaf(2, "WariantFormularza", "3");
        out.WriteLeaf(2, "CelZlozenia", EscapeRequestText(cel));
        out.WriteLeaf(2, "DataWytworzeniaJPK", creationTime);
        out.WriteLeaf(2, "DataOd", EscapeRequestText(FirstDayText(run.period)));
        out.WriteLeaf(2, "DataDo", EscapeRequestText(LastDayText(run.period)));
        out.WriteLeaf(2, "NazwaSystemu", kSystemName);
        out.WriteTag(1, "/Naglowek");
        out.WriteTag(1, "Podmiot1");
        out.WriteLeaf(2, "NIP", EscapeRequestText(run.Key("NIP")));
        out.WriteLeaf(2, "PelnaNazwa", EscapeRequestText(run.Key("PNa")));
        out.WriteLeaf(2, "Email", EscapeRequestText(run.Key("Ema")));
        out.WriteTag(1, "/Podmiot1");
        CheckKeyPresent(run, "NIP");
        CheckKeyPresent(run, "Ema");
        return;
    }

    // The second and third generations are unprefixed and differ in their
    // namespaces and form codes only.
    const bool e = run.variant == Variant::E;
    const bool d = run.variant == Variant::D || e;
    const bool k = run.quarterly;
    std::string root = "JPK xmlns:etd=" + Quoted(e ? kNsEtd2022 : d ? kNsEtd2021 : kNsEtd2020);
    if (e) root += " xmlns=" + Quoted(k ? kNsV7K3 : kNsV7M3);
    else if (d) root += " xmlns=" + Quoted(k ? kNsV7K2 : kNsV7M2);
    else root += " xmlns:tns=" + Quoted(k ? kNsV7K1 : kNsV7M1);
    out.WriteTag(0, root);
    out.WriteTag(1, "Naglowek");
    const std::string form = k ? "JPK_V7K" : "JPK_V7M";
    const std::string version = e ? "3" : d ? "2" : "1";
    out.WriteLeafAttr(2, "KodFormularza", "JPK_VAT",
                      "kodSystemowy=\"" + form + " (" + version + ")\" wersjaSchemy=\"" + (d ? "1-0E" : "1-2E") + "\"");
    out.WriteLeaf(2, "WariantFormularza", version);
    out.WriteLeaf(2, "DataWytworzeniaJPK", creationTime);
    out.WriteLeaf(2, "NazwaSystemu", kSystemName);
    out.WriteLeafAttr(2, "CelZlozenia", cel == "1" ? "1" : "2", "poz=\"P_7\"");
    out.WriteLeaf(2, "KodUrzedu", EscapeRequestText(run.Key("KUr")));
    out.WriteLeaf(2, "Rok", EscapeRequestText(run.period.substr(0, 4)));
    out.WriteLeaf(2, "Miesiac", EscapeRequestText(run.period.size() >= 7 ? run.period.substr(5, 2) : std::string()));
    out.WriteTag(1, "/Naglowek");
    out.WriteTag(1, "Podmiot1 rola=\"Podatnik\"");
    const std::string name = run.Key("PNa");
    if (run.Key("RPo") != "OFi") {
        out.WriteTag(2, "OsobaNiefizyczna");
        out.WriteLeaf(3, "NIP", EscapeRequestText(run.Key("NIP")));
        out.WriteLeaf(3, "PelnaNazwa", EscapeRequestText(name));
        out.WriteLeaf(3, "Email", EscapeRequestText(run.Key("Ema")));
        out.WriteLeaf(3, "Telefon", EscapeRequestText(run.Key("Tel")));
        out.WriteTag(2, "/OsobaNiefizyczna");
    } else {
        out.WriteTag(2, "OsobaFizyczna");
        out.WriteLeaf(3, "etd:NIP", EscapeRequestText(run.Key("NIP")));
        out.WriteLeaf(3, "etd:ImiePierwsze", EscapeRequestText(NameField(name, 2)));
        out.WriteLeaf(3, "etd:Nazwisko", EscapeRequestText(NameField(name, 1)));
        out.WriteLeaf(3, "etd:DataUrodzenia", EscapeRequestText(NameField(name, 3)));
        out.WriteLeaf(3, "Email", EscapeRequestText(run.Key("Ema")));
        out.WriteLeaf(3, "Telefon", EscapeRequestText(run.Key("Tel")));
        out.WriteTag(2, "/OsobaFizyczna");
    }
    out.WriteTag(1, "/Podmiot1");
    CheckKeyPresent(run, "NIP");
    CheckKeyPresent(run, "KUr");
    CheckKeyPresent(run, "Ema");
}

bool DeclarationDue(const JpkRun& run) {
    return run.variant != Variant::A && (!run.quarterly || run.quarterDigit != '0');
}

bool PairNonZero(const KTable& k, int n) {
    for (int net : {15, 17, 19, 23, 25, 27, 29, 31, 37, 40, 42}) {
        if (n == net) return k[n + 1] != 0;
    }
    for (int tax : {16, 18, 20, 24, 26, 28, 30, 32, 38, 41, 43}) {
        if (n == tax) return k[n - 1] != 0;
    }
    // P_12 and P_14 stand only after P_11 and P_13.
    if (n == 11 || n == 13) return k[n + 1] != 0;
    return false;
}

namespace {

double Sum(const JpkRun& run, std::initializer_list<int> fields) {
    double sum = 0;
    for (int n : fields) sum += run.rounding == 'T' ? RoundWhole(run.k[n]) : run.k[n];
    return sum;
}

void ComputeJpkV7(JpkRun& run) {
    KTable& k = run.k;
    k[37] = Sum(run, {10, 11, 13, 15, 17, 19, 21, 22, 23, 25, 27, 29, 31});
    k[38] = Sum(run, {16, 18, 20, 24, 26, 28, 30, 32, 33, 34}) - Sum(run, {35, 36});
    if (run.Third()) k[38] -= Sum(run, {360});  // the deposit system's unreturned deposits
    k[39] = run.KeyAmount("K39");
    k[46] = run.KeyAmount("K46");
    k[47] = run.KeyAmount("K47");
    k[48] = Sum(run, {39, 41, 43, 44, 45, 46, 47});
    double d = k[38] - k[48];
    k[49] = run.KeyAmount("K49");
    if (d < 0) k[49] = 0;
    else if (k[49] > d) k[49] = d;
    k[50] = run.KeyAmount("K50");
    d = d - k[49] - k[50];
    k[51] = d;
    if (d < 0) {
        k[53] = -d;
        k[51] = 0;
    }
    k[54] = run.KeyAmount("K54");
    if (k[54] > k[53]) k[54] = k[53];

    // P_540 and P_560 exist from the (2) generation on; (3) drops P_57 (60
    // days) and makes P_560 (40 days) the basic term.
    std::string_view fields = " K55 K56 K57 K58 ";
    std::string_view basic = "K57";
    if (run.variant == Variant::D) fields = " K540 K55 K56 K560 K57 K58 ";
    if (run.Third()) {
        fields = " K540 K55 K56 K560 K58 ";
        basic = "K560";
    }
    run.refundField = run.Key("Zwr").substr(0, 6);
    if (fields.find(" " + run.refundField + " ") == std::string_view::npos) run.refundField = basic;
    if (k[54] == 0) run.refundField.clear();
    if (run.refundField.empty()) k[54] = 0;

    run.innText = run.Key("Inn").substr(0, kKeyValueLimit);
    k[60] = run.KeyAmount("K60");
    if (k[60] == 0) run.innText.clear();
    if (run.innText.empty()) k[60] = 0;
    // The refund term (P_59 to P_61) belongs to a refund (P_54) alone.
    if (k[54] == 0 && k[60] != 0) {
        ShowStatus(run.program, "K60 i Inn pomini\xeate: brak zwrotu K54");  // "pominięte"
        k[60] = 0;
        run.innText.clear();
    }
    k[62] = k[53] - k[54];
    if (run.refundField.size() > 1) {
        const int mark = std::atoi(run.refundField.substr(1, 3).c_str());
        if (mark > 0 && mark < static_cast<int>(k.size())) k[mark] = 1;
    }
}

void ComputeJpkVat3(JpkRun& run) {
    KTable& k = run.k;
    k[40] = Sum(run, {10, 11, 13, 15, 17, 19, 21, 22, 23, 25, 27, 29, 31, 32, 34});
    k[41] = Sum(run, {16, 18, 20, 24, 26, 28, 30, 33, 35, 36, 37}) - Sum(run, {38, 39});
    for (int n : {42, 47, 48, 49, 50}) k[n] = run.KeyAmount("K" + std::to_string(n));
    k[51] = Sum(run, {42, 44, 46, 47, 48, 49, 50});
    double d = k[41] - k[51];
    k[52] = run.KeyAmount("K52");
    if (d < 0) k[52] = 0;
    else if (k[52] > d) k[52] = d;
    k[53] = run.KeyAmount("K53");
    d = d - k[52] - k[53];
    k[54] = d;
    if (d < 0) {
        k[56] = -d;
        k[54] = 0;
    }
    k[57] = run.KeyAmount("K57");
    if (k[57] > k[56]) k[57] = k[56];
    k[62] = k[56] - k[57];
    run.refundField = run.Key("Zwr").substr(0, 6);
    if (std::string_view(" K58 K59 K60 K61 ").find(" " + run.refundField + " ") == std::string_view::npos) {
        run.refundField = "K60";
    }
    if (k[57] == 0) run.refundField.clear();
    run.innText = run.Key("Inn");
}

}  // namespace

void ComputeDeclaration(JpkRun& run) {
    if (run.rounding == 'N') {
        for (int n = 9; n <= 70; ++n) run.k[n] = RoundWhole(run.k[n]);
        run.k[360] = RoundWhole(run.k[360]);
    }
    if (run.variant == Variant::A) ComputeJpkVat3(run);
    else ComputeJpkV7(run);
    for (int n = 63; n <= 67; ++n) {
        if (run.Key("K" + std::to_string(n)) == "T") run.k[n] = 1;
    }
    if (run.Key("K660") == "T") run.k[660] = 1;
}

void WritePosition(const JpkRun& run, LineWriter& out, std::string_view name, double amount) {
    // Every position is a whole number in the schemas, rounded as the tax
    // ordinance rounds; mode J keeps the grosze in the computations and
    // rounds at the output only.
    const std::string text = amount == 0 ? "0" : FormatFixed0(RoundWhole(amount));
    out.WriteLeaf(3, name, text);
}

void WriteDeclaration(JpkRun& run, LineWriter& out) {
    ComputeDeclaration(run);
    if (!DeclarationDue(run)) return;
    const KTable& k = run.k;
    const bool e = run.variant == Variant::E;
    const bool d = run.variant == Variant::D || e;
    auto position = [&](int n) { WritePosition(run, out, "P_" + std::to_string(n), k[n]); };

    out.WriteTag(1, "Deklaracja");
    out.WriteTag(2, "Naglowek");
    const std::string version = d ? "1-0E" : "1-2E";
    if (!run.quarterly) {
        const std::string code = e ? "23" : d ? "22" : "21";
        out.WriteLeafAttr(3, "KodFormularzaDekl", "VAT-7",
                          "kodSystemowy=\"VAT-7 (" + code +
                              ")\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" wersjaSchemy=\"" + version + "\"");
        out.WriteLeaf(3, "WariantFormularzaDekl", code);
    } else {
        const std::string code = e ? "17" : d ? "16" : "15";
        out.WriteLeafAttr(3, "KodFormularzaDekl", "VAT-7K",
                          "kodSystemowy=\"VAT-7K (" + code +
                              ")\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" wersjaSchemy=\"" + version + "\"");
        out.WriteLeaf(3, "WariantFormularzaDekl", code);
        out.WriteLeaf(3, "Kwartal", std::string(1, run.quarterDigit));
    }
    out.WriteTag(2, "/Naglowek");

    out.WriteTag(2, "PozycjeSzczegolowe");
    for (int n = 10; n <= 36; ++n) {
        if (k[n] != 0 || PairNonZero(k, n)) position(n);
    }
    if (k[360] != 0) position(360);
    if (k[9] != 0) out.WriteComment(3, FormatFixed0(RoundWhole(k[9])) + "  VAT_marza");
    position(37);
    position(38);
    if (k[39] > 0) position(39);
    if (k[40] != 0 || k[41] != 0) {
        position(40);
        position(41);
    }
    if (k[42] != 0 || k[43] != 0) {
        position(42);
        position(43);
    }
    if (k[70] != 0) out.WriteComment(3, FormatFixed0(RoundWhole(k[70])) + "  VAT_marza");
    for (int n = 44; n <= 54; ++n) {
        if (k[n] != 0 || n == 51) position(n);
    }
    for (int n : {540, 55, 56, 560, 57, 58}) {
        if (k[n] != 0) position(n);
    }
    if (k[60] > 0) {
        WritePosition(run, out, "P_59", 1);
        position(60);
        out.WriteLeaf(3, "P_61", EscapeRequestText(run.innText));
    }
    if (k[62] != 0) position(62);
    for (int n = 63; n <= 67; ++n) {
        // The yes-mark K660 has its position between P_66 and P_67 from the
        // (2) generation on.
        if (n == 67 && d && k[660] == 1) WritePosition(run, out, "P_660", 1);
        if (run.Key("K" + std::to_string(n)) == "T") WritePosition(run, out, "P_" + std::to_string(n), 1);
    }
    // Both may only be zero or negative.
    if (k[68] < 0 || k[69] < 0) {
        if (k[68] <= 0 && k[69] <= 0) {
            position(68);
            position(69);
        } else {
            ShowStatus(run.program, "K68 i K69 pomini\xeate: kwota dodatnia");  // "pominięte"
        }
    } else if (k[68] > 0 || k[69] > 0) {
        ShowStatus(run.program, "K68 i K69 pomini\xeate: kwota dodatnia");
    }

    std::string reason;
    for (int i = 1; i <= 8; ++i) {
        const std::string line = run.Key("Uz" + std::to_string(i));
        if (line != "BRAK") reason += " " + line;
    }
    for (std::size_t at; (at = reason.find("  ")) != std::string::npos;) reason.erase(at, 1);
    while (!reason.empty() && reason.front() == ' ') reason.erase(0, 1);
    while (!reason.empty() && reason.back() == ' ') reason.pop_back();
    if (run.Key("Cel") > "1" && !reason.empty()) out.WriteLeaf(3, "P_ORDZU", EscapeRequestText(reason));

    out.WriteTag(2, "/PozycjeSzczegolowe");
    out.WriteLeaf(2, "Pouczenia", "1");
    out.WriteTag(1, "/Deklaracja");
}

}  // namespace vel::jpk
