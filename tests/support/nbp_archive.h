#pragma once
// A year of the central bank's table-A archive made up for the tests, byte
// for byte in the bank's layout: code page 1250, CR LF, a header line with the
// unit counts and codes ("100JPY") and the table-number labels, the names
// line, one line per table (date, rates with a decimal comma, the table's
// number and its full number "001/A/NBP/2024"), an empty line and the footer
// lines of codes, names and unit counts. Every line but the empty one ends
// in ";".
//
// Tables come out on working days: no weekends, no bank holidays. A currency
// may be quoted only from or until a day of the year (added or dropped
// mid-year); on the other days its cell is empty, as in the bank's files.

#include <string>
#include <vector>

namespace vel::test {

struct ArchiveCurrency {
    std::string header;  // unit count and code: "1USD", "100JPY", "10000IDR"
    std::string name;    // code page 1250: "dolar ameryka\xf1ski"
    int start = 10000;   // the first day's cell in ten-thousandths: 27855 is "2,7855"
    std::string from;    // YYYYMMDD of its first quote; empty: from the year's start
    std::string until;   // YYYYMMDD of its last quote; empty: to the year's end
};

struct ArchiveYear {
    int year = 2024;
    std::vector<ArchiveCurrency> currencies;
};

struct GeneratedArchive {
    std::string csv;                          // the file's bytes
    std::vector<std::string> days;            // YYYYMMDD of each table, in order
    std::vector<std::string> tables;          // full number of each table
    std::vector<std::vector<std::string>> cells;  // [currency][table]: "2,7855", or "" when not quoted
};

// The days without a table besides weekends: the Polish public holidays
// (Christmas Eve from 2025 on), YYYYMMDD.
std::vector<std::string> BankHolidays(int year);

GeneratedArchive MakeArchive(const ArchiveYear& spec);

// Eleven currencies over `year`: among them 100JPY, 100HUF and 10000IDR,
// names with Polish letters, the won added on 1 July and the rouble last
// quoted on 29 February (in 2024, a leap year; in other years it is not
// quoted past February either way).
ArchiveYear SampleYear(int year = 2024);

// "archiwum_tab_a_" + year + ".csv", the name the bank gives the file.
std::string ArchiveFileName(int year);

}  // namespace vel::test
