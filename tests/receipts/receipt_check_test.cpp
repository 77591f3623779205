#include "receipts/receipt_check.h"

#include "common/io.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vel::receipts {
namespace {

struct Scanned {
    ScanResult result;
    std::vector<std::string> errors;
};

Scanned Scan(const std::string& receipt) {
    ReceiptErrors errors;
    Scanned s{ScanReceipt(receipt, errors), {}};
    for (std::size_t i = 0; i < errors.count; ++i) s.errors.push_back(errors.messages[i]);
    return s;
}

// A receipt with the usual declaration and header around the given rows.
std::string Receipt(const std::string& rows) {
    return "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
           "<PAR NR=\"0815\" SUMVAT=\"4.30\" SUMBRT=\"24.30\">\r\n" +
           rows + "</PAR>\r\n";
}

const char* const kHeaderLine = "0815;4.3;24.3\r\n";

TEST(ReceiptScan, WellFormedReceiptGivesHandOffLinesAndNoErrors) {
    const Scanned s = Scan(Receipt(
        "<WIERSZ LP=\"1\" STVAT=\"23\" INDEKS=\"MLEKO\" ILOSC=\"2\" CENA=\"5\" UPUST=\"0\" SUMNET=\"10.00\"/>\r\n"
        "<WIERSZ LP=\"2\" STVAT=\"8\" INDEKS=\"CHLEB\" ILOSC=\"1.5\" CENA=\"4\" SUMNET=\"6.00\">\r\n"));
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.handOff, std::string(kHeaderLine) + "23;MLEKO;2.0000;6.15\r\n8;CHLEB;1.5000;4.32\r\n");
    EXPECT_EQ(s.result.nr, "0815");
    EXPECT_EQ(s.result.rows, 2);
}

TEST(ReceiptScan, LineBreaksCountAsSpacesInsideTags) {
    const Scanned s = Scan("<PAR\nNR=\"7\"\r\nSUMVAT=\"1.00\"\rSUMBRT=\"2\"\n>\n<WIERSZ\nINDEKS=\"A\"\nILOSC=\"1\"\nCENA=\"2\"/>");
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.handOff, "7;1.;2\r\n22;A;1.0000;2.44\r\n");
}

TEST(ReceiptScan, DeclarationEndings) {
    // The question mark right after the last value is passed over; written
    // apart from it, it is a strange attribute of the declaration.
    EXPECT_EQ(Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>")).errors, std::vector<std::string>{});
    const Scanned spaced = Scan("<?xml version=\"1.0\" ?>" + Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>"));
    EXPECT_EQ(spaced.errors, std::vector<std::string>{"  24. <?XML VERSION ENCODING STANDALONE ?\?\?> w wierszu nr 0"});
}

TEST(ReceiptScan, RowClosedBySlashWithAndWithoutSpace) {
    const Scanned direct = Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>"));
    EXPECT_EQ(direct.errors, std::vector<std::string>{});
    EXPECT_EQ(direct.result.rows, 1);

    // " />": the slash is a strange attribute whose name ends at the '>', so
    // the row is never finished: no row line, no row count, no row checks.
    const Scanned spaced = Scan(Receipt("<WIERSZ INDEKS=\"\" ILOSC=\"0\" CENA=\"1\" />"));
    EXPECT_EQ(spaced.errors,
              (std::vector<std::string>{"  26. <WIERSZ LP STVAT INDEKS ILOSC CENA UPUST SUMNET ?\?\?> w wierszu nr 0",
                                        "  27. Pusty paragon w wierszu nr 0"}));
    EXPECT_EQ(spaced.result.handOff, kHeaderLine);
    EXPECT_EQ(spaced.result.rows, 0);
}

TEST(ReceiptScan, ClosingTagOfRowIsStrange) {
    const Scanned s = Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"></WIERSZ>\r\n"));
    ASSERT_FALSE(s.errors.empty());
    EXPECT_EQ(s.errors[0], "  22. Dziwny </WIERSZ w wierszu nr 1");
}

TEST(ReceiptScan, StrangeTagsAndEndTag) {
    EXPECT_EQ(Scan(Receipt("<abc/><WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>")).errors,
              std::vector<std::string>{"  22. Dziwny <ABC/ w wierszu nr 0"});
    // Nothing after the end tag is looked at.
    const Scanned s = Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>") + "<WIERSZ CENA=\"x\"/> <junk>");
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.rows, 1);
}

TEST(ReceiptScan, UnitGrossPrice) {
    struct Case {
        const char* name;
        const char* row;
        const char* line;
    };
    const Case cases[] = {
        {"default rate 22", "<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"10\"/>", "22;A;1.0000;12.20"},
        {"rate 0 adds nothing", "<WIERSZ STVAT=\"0\" INDEKS=\"A\" ILOSC=\"1\" CENA=\"10\" UPUST=\"50\"/>",
         "0;A;1.0000;5.00"},
        {"negative rate adds nothing", "<WIERSZ STVAT=\"-5\" INDEKS=\"A\" ILOSC=\"1\" CENA=\"10\"/>",
         "-5;A;1.0000;10.00"},
        {"discount and rate", "<WIERSZ CENA=\"10\" UPUST=\"50\" STVAT=\"23\" INDEKS=\"A\" ILOSC=\"3\"/>",
         "23;A;3.0000;6.15"},
        {"rate rounded half to even", "<WIERSZ STVAT=\"7.5\" INDEKS=\"A\" ILOSC=\"1\" CENA=\"100\"/>",
         "8;A;1.0000;108.00"},
        {"rate 8.5 rounds down", "<WIERSZ STVAT=\"8.5\" INDEKS=\"A\" ILOSC=\"1\" CENA=\"100\"/>",
         "8;A;1.0000;108.00"},
        {"quantity four decimals", "<WIERSZ STVAT=\"0\" INDEKS=\"A\" ILOSC=\"0.12345\" CENA=\"1\"/>",
         "0;A;0.1235;1.00"},
        {"values taken as they stand", "<WIERSZ INDEKS=\"A&lt&B\" ILOSC=\" 1e1\" CENA=\"+.5\" STVAT=\"0\"/>",
         "0;A&lt&B;10.0000;0.50"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scanned s = Scan(Receipt(c.row));
        EXPECT_EQ(s.errors, std::vector<std::string>{});
        EXPECT_EQ(s.result.handOff, std::string(kHeaderLine) + c.line + "\r\n");
    }
}

TEST(ReceiptScan, RowValuesStartAgainAtEveryRow) {
    const Scanned s = Scan(Receipt("<WIERSZ STVAT=\"5\" INDEKS=\"A\" ILOSC=\"2\" CENA=\"3\" UPUST=\"20\"/>"
                                   "<WIERSZ INDEKS=\"B\" ILOSC=\"1\" CENA=\"1\"/>"));
    EXPECT_EQ(s.result.handOff, std::string(kHeaderLine) + "5;A;2.0000;2.52\r\n22;B;1.0000;1.22\r\n");
}

TEST(ReceiptScan, LimitsOfQuantityAndPrice) {
    struct Case {
        const char* name;
        const char* row;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"quantity 0.00004", "<WIERSZ INDEKS=\"A\" ILOSC=\"0.00004\" CENA=\"1\"/>",
         {"  31. Niedodatnia ilosc w wierszu nr 1"}},
        {"quantity 0.0001", "<WIERSZ INDEKS=\"A\" ILOSC=\"0.0001\" CENA=\"1\"/>", {}},
        {"quantity exactly the limit", "<WIERSZ INDEKS=\"A\" ILOSC=\"0.00005\" CENA=\"1\"/>", {}},
        {"price exactly the limit", "<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"0.005\" STVAT=\"0\"/>", {}},
        {"price 0.004",
         "<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"0.004\"/>",
         {"  32. Niedodatnia cena w wierszu nr 1", "  33. Niedodatnia wartosc w wierszu nr 1"}},
        {"full discount", "<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"10\" UPUST=\"100\"/>",
         {"  33. Niedodatnia wartosc w wierszu nr 1"}},
        {"nothing given",
         "<WIERSZ>",
         {"  30. Nie ma indeksu w wierszu nr 1", "  31. Niedodatnia ilosc w wierszu nr 1",
          "  32. Niedodatnia cena w wierszu nr 1", "  33. Niedodatnia wartosc w wierszu nr 1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Scan(Receipt(c.row)).errors, c.errors);
    }
}

TEST(ReceiptScan, EmptyReceipts) {
    const Scanned header = Scan("<PAR NR=\"1\" SUMVAT=\"0\" SUMBRT=\"0.00\"></PAR>");
    EXPECT_EQ(header.errors, std::vector<std::string>{"  27. Pusty paragon w wierszu nr 0"});
    EXPECT_EQ(header.result.handOff, "1;;0.\r\n");

    const Scanned nothing = Scan("");
    EXPECT_EQ(nothing.errors, std::vector<std::string>{"  27. Pusty paragon w wierszu nr 0"});
    EXPECT_EQ(nothing.result.handOff, "");
}

TEST(ReceiptScan, NineErrorsKeepSixAndAMark) {
    std::string rows;
    for (int i = 0; i < 9; ++i) rows += "<WIERSZ ILOSC=\"1\" CENA=\"1\"/>\r\n";
    const Scanned s = Scan(Receipt(rows));
    ASSERT_EQ(s.errors.size(), 7u);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.errors[i], "  30. Nie ma indeksu w wierszu nr " + std::to_string(i + 1));
    EXPECT_EQ(s.errors[6], "...i kilka innych bledow...");
    EXPECT_EQ(s.result.rows, 9);
}

TEST(ReceiptScan, SevenErrorsAreKeptWhole) {
    std::string rows;
    for (int i = 0; i < 7; ++i) rows += "<WIERSZ ILOSC=\"1\" CENA=\"1\"/>\r\n";
    const Scanned s = Scan(Receipt(rows));
    ASSERT_EQ(s.errors.size(), 7u);
    EXPECT_EQ(s.errors[6], "  30. Nie ma indeksu w wierszu nr 7");
}

TEST(ReceiptScan, AttributeNamesAreKnownByAllButTheirLastLetter) {
    const Scanned s = Scan("<PAR NX=\"42\" SUMVAQ=\"1.10\" SUMBRX=\"2.20\">"
                           "<WIERSZ STVAX=\"8\" INDEKZ=\"A\" ILOSQ=\"2\" CENX=\"3\" UPUSX=\"50\" LQ=\"1\" SUMNEX=\"9\"/>"
                           "</PAR>");
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.handOff, "42;1.1;2.2\r\n8;A;2.0000;1.62\r\n");
}

TEST(ReceiptScan, NamesInLowerCase) {
    const Scanned s = Scan("<?XmL Version=\"1.0\"?><par nr=\"5\" sumvat=\"1\" sumbrt=\"2\">"
                           "<wiersz stvat=\"8\" indeks=\"a\" ilosc=\"1\" cena=\"2\"/></par>");
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.handOff, "5;1;2\r\n8;a;1.0000;2.16\r\n");
}

TEST(ReceiptScan, StrangeAttributesBySegment) {
    // The rest of a strange attribute is scanned on, so its value may report
    // more; the first message names the segment.
    struct Case {
        const char* name;
        std::string receipt;
        const char* first;
    };
    const Case cases[] = {
        {"declaration", "<?xml VERSJA=\"1\"?>" + Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>"),
         "  24. <?XML VERSION ENCODING STANDALONE ?\?\?> w wierszu nr 0"},
        {"header", "<PAR KASA=\"1\"><WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/></PAR>",
         "  25. <PAR NR SUMVAT SUMBRT ?\?\?> w wierszu nr 0"},
        {"row",
         Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/><WIERSZ VAT=\"1\" INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>"),
         "  26. <WIERSZ LP STVAT INDEKS ILOSC CENA UPUST SUMNET ?\?\?> w wierszu nr 1"},
        {"empty name", "<PAR =\"1\">", "  25. <PAR NR SUMVAT SUMBRT ?\?\?> w wierszu nr 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Scanned s = Scan(c.receipt);
        ASSERT_FALSE(s.errors.empty());
        EXPECT_EQ(s.errors[0], c.first);
    }
    // Text outside any tag is skipped.
    EXPECT_EQ(Scan("hello <PAR NR=\"1\"> <WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/></PAR>").errors,
              std::vector<std::string>{});
}

TEST(ReceiptScan, NumbersThatAreNotNumbers) {
    const Scanned s = Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>"
                                   "<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>"
                                   "<WIERSZ STVAT=\"abc\" ILOSC=\"\" CENA=\"1,5\" UPUST=\"x\" INDEKS=\"A\"/>"));
    // Errors inside the third row carry the two rows finished before it,
    // the checks when it closes carry three; bad values count as 0.
    EXPECT_EQ(s.errors, (std::vector<std::string>{
                            "  34. Dziwna stawka vat w wierszu nr 2", "  35. Dziwna ilosc w wierszu nr 2",
                            "  36. Dziwna cena w wierszu nr 2", "  37. Dziwny upust w wierszu nr 2",
                            "  31. Niedodatnia ilosc w wierszu nr 3", "  32. Niedodatnia cena w wierszu nr 3",
                            "  33. Niedodatnia wartosc w wierszu nr 3"}));
    EXPECT_NE(s.result.handOff.find("0;A;0.0000;0.00\r\n"), std::string::npos);
}

TEST(ReceiptScan, GreaterThanInsideValueGainsSpace) {
    const Scanned s = Scan(Receipt("<WIERSZ INDEKS=\"A>B\" ILOSC=\"1\" CENA=\"1\" STVAT=\"0\"/>"));
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.handOff, std::string(kHeaderLine) + "0;A >B;1.0000;1.00\r\n");
}

TEST(ReceiptScan, ValueWithoutClosingQuoteIsAnErrorOfTheRow) {
    // The quote search never leaves the 99-character window of the name.
    const Scanned open = Scan(Receipt("<WIERSZ INDEKS=\"A ILOSC=1 CENA=1/>"));
    ASSERT_FALSE(open.errors.empty());
    EXPECT_EQ(open.errors[0], "  23. Niedomknieta wartosc INDEKS w wierszu nr 0");

    const std::string longIndex(120, 'X');
    const Scanned far = Scan(Receipt("<WIERSZ ILOSC=\"1\" CENA=\"1\" INDEKS=\"" + longIndex + "\"/>"));
    ASSERT_FALSE(far.errors.empty());
    EXPECT_EQ(far.errors[0], "  23. Niedomknieta wartosc INDEKS w wierszu nr 0");

    // At the very end of the text.
    EXPECT_EQ(Scan("<PAR NR=").errors,
              (std::vector<std::string>{"  23. Niedomknieta wartosc NR w wierszu nr 0", "  27. Pusty paragon w wierszu nr 0"}));
    EXPECT_EQ(Scan("<WIERSZ CENA").errors,
              (std::vector<std::string>{"  23. Niedomknieta wartosc CENA w wierszu nr 0", "  27. Pusty paragon w wierszu nr 0"}));
}

TEST(ReceiptScan, AttributeWithoutAValueIsARowError) {
    // The receipt went out one row short, with no error: SUMNET took the
    // next row's first value and row A was never finished.
    const Scanned row = Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"10\" SUMNET>\r\n"
                                     "<WIERSZ INDEKS=\"B\" ILOSC=\"2\" CENA=\"20\"/>\r\n"));
    EXPECT_EQ(row.errors, std::vector<std::string>{"  28. Brak wartosci SUMNET w wierszu nr 0"});
    EXPECT_EQ(row.result.handOff, std::string(kHeaderLine) + "22;A;1.0000;12.20\r\n22;B;2.0000;24.40\r\n");
    const Scanned header = Scan("<PAR NR=\"7\" SUMVAT><WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>");
    EXPECT_EQ(header.errors, std::vector<std::string>{"  28. Brak wartosci SUMVAT w wierszu nr 0"});
    EXPECT_EQ(header.result.handOff, "7;;\r\n22;A;1.0000;1.22\r\n");
}

TEST(ReceiptScan, SemicolonInACopiedValueIsARowError) {
    // INDEKS="A;9;1.0000" became three of the driver's fields.
    struct Case {
        const char* name;
        std::string receipt;
        const char* error;
    };
    const Case cases[] = {
        {"index", Receipt("<WIERSZ INDEKS=\"A;9;1.0000\" ILOSC=\"1\" CENA=\"1\"/>"),
         "  29. Niedozwolony znak w wartosci INDEKS w wierszu nr 0"},
        {"receipt number", "<PAR NR=\"1;2\" SUMVAT=\"1\" SUMBRT=\"2\"><WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>",
         "  29. Niedozwolony znak w wartosci NR w wierszu nr 0"},
        {"total", "<PAR NR=\"1\" SUMVAT=\"1\" SUMBRT=\"2;5\"><WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\"/>",
         "  29. Niedozwolony znak w wartosci SUMBRT w wierszu nr 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Scan(c.receipt).errors, std::vector<std::string>{c.error});
    }
}

TEST(ReceiptScan, ValueJustInsideTheWindowIsRead) {
    // Name start to closing quote: 'INDEKS="' is 8 characters, 90 value
    // characters, the closing quote is the 99th.
    const std::string index(90, 'Y');
    const Scanned s = Scan(Receipt("<WIERSZ ILOSC=\"1\" CENA=\"1\" STVAT=\"0\" INDEKS=\"" + index + "\"/>"));
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.handOff, std::string(kHeaderLine) + "0;" + index + ";1.0000;1.00\r\n");
}

TEST(ReceiptScan, StrayQuoteEndsTheSegmentAtTheTagEnd) {
    // After the stray quote the row's '>' still finishes the row, but the
    // attributes after it belong to no element any more.
    const Scanned s = Scan(Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\" \"> BOGUS=\"1\" "));
    EXPECT_EQ(s.errors, std::vector<std::string>{});
    EXPECT_EQ(s.result.rows, 1);
}

TEST(ReceiptScan, StripTrailingZeros) {
    EXPECT_EQ(StripTrailingZeros("12.50"), "12.5");
    EXPECT_EQ(StripTrailingZeros("100.00"), "100.");
    EXPECT_EQ(StripTrailingZeros("100"), "1");
    EXPECT_EQ(StripTrailingZeros("0"), "");
    EXPECT_EQ(StripTrailingZeros("1.05"), "1.05");
}

TEST(ReceiptScan, NumberShapes) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"12", true, 12},     {"  12", true, 12},  {"-1.5", true, -1.5}, {"+.5", true, 0.5}, {"5.", true, 5},
        {"1e3", true, 1000},  {"1E-2", true, 0.01}, {"", false, 0},     {".", false, 0},   {"12 ", false, 0},
        {"1,5", false, 0},    {"1e", false, 0},    {"0x10", false, 0},  {"1e999", false, 0}, {"inf", false, 0},
        {"nan", false, 0},    {"--1", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        double v = -7;
        EXPECT_EQ(scan::ParseNumber(c.text, v), c.ok);
        if (c.ok) {
            EXPECT_DOUBLE_EQ(v, c.value);
        }
    }
}

TEST(ReceiptScan, PreparedText) {
    EXPECT_EQ(scan::PrepareText(">a\r\nb/>\nc?>"), ">a b/ > c? > ");
    EXPECT_EQ(scan::PrepareText("a\r\n"), "a ");
    EXPECT_EQ(scan::PrepareText("a\r\n\r\n"), "a  ");
}

TEST(ReceiptErrorList, AddsRowSuffixAndKeepsSeven) {
    ReceiptErrors errors;
    AddReceiptError(errors, "  30. Nie ma indeksu", 12);
    EXPECT_EQ(errors.messages[0], "  30. Nie ma indeksu w wierszu nr 12");
    for (int i = 0; i < 10; ++i) AddReceiptError(errors, "x", i);
    EXPECT_EQ(errors.count, 7u);
    EXPECT_EQ(errors.messages[5], "x w wierszu nr 4");
    EXPECT_EQ(errors.messages[6], "...i kilka innych bledow...");
}

TEST(ValidateReceipt, WritesHandOffFileAndRaisesForMissingReceipt) {
    test::ScopedTempDir dir;
    test::WriteAll(dir.path() / "Par1.xml", Receipt("<WIERSZ INDEKS=\"A\" ILOSC=\"1\" CENA=\"1\" STVAT=\"0\"/>"));
    test::WriteAll(dir.path() / "PAR.PAS", "old content that is replaced\r\n");
    ReceiptErrors errors;
    const ValidateResult r = ValidateReceipt("Par1.xml", errors);
    EXPECT_EQ(r.nr, "0815");
    EXPECT_EQ(r.rows, 1);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(test::ReadAll(dir.path() / "PAR.PAS"), std::string(kHeaderLine) + "0;A;1.0000;1.00\r\n");

    EXPECT_THROW(ValidateReceipt("Par2.xml", errors), IoError);
}

}  // namespace
}  // namespace vel::receipts
