#include "jpk/jpk_registers.h"

#include "common/format.h"
#include "common/io.h"
#include "common/program.h"
#include "common/status.h"
#include "ksef/ksef.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cstdio>
#include <initializer_list>

namespace vel::jpk {

namespace {

bool OneOf(int n, std::initializer_list<int> list) { return std::find(list.begin(), list.end(), n) != list.end(); }

// Row start tags of older sibling programs carry typ="G", which no schema
// knows: it goes like on the leaves.
std::string RowTag(std::string tag) {
    EraseAll(tag, " typ=\"G\"");
    return tag;
}

constexpr std::size_t kReadBlock = 60000;

}  // namespace

void LineWriter::Indent(int level) {
    line_.clear();
    for (int i = 0; i < level; ++i) line_ += "  ";
}

void LineWriter::AppendName(std::string_view name) {
    if (Prefixed() && !Contains(name, ":")) line_ += "tns:";
    line_ += name;
}

void LineWriter::Flush() {
    line_ += "\r\n";
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
}

void LineWriter::WriteTag(int level, std::string_view text) {
    Indent(level);
    line_ += '<';
    if (Prefixed() && text.substr(0, 4) != "?xml") {
        // The name part (up to the first space) carries no prefix of its own.
        const std::string_view name = text.substr(0, text.find(' '));
        if (!Contains(name, ":")) {
            const bool closing = !text.empty() && text[0] == '/';
            if (closing) line_ += '/';
            line_ += "tns:";
            line_ += text.substr(closing ? 1 : 0);
        } else {
            line_ += text;
        }
    } else {
        line_ += text;
    }
    line_ += '>';
    if (text == "/JPK") {
        out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
    } else {
        Flush();
    }
}

void LineWriter::WriteLeaf(int level, std::string_view name, std::string_view text) {
    Indent(level);
    line_ += '<';
    AppendName(name);
    line_ += '>';
    line_ += text;
    line_ += "</";
    AppendName(name);
    line_ += '>';
    Flush();
}

void LineWriter::WriteLeafAttr(int level, std::string_view name, std::string_view text, std::string_view attributes) {
    Indent(level);
    line_ += '<';
    AppendName(name);
    line_ += ' ';
    line_ += attributes;
    line_ += '>';
    line_ += text;
    line_ += "</";
    AppendName(name);
    line_ += '>';
    Flush();
}

void LineWriter::WriteComment(int level, std::string_view text) {
    Indent(level);
    line_ += "<!--  ";
    line_ += text;
    line_ += "  -->";
    Flush();
}

void LineWriter::WriteRaw(std::string_view text) {
    if (text.empty()) return;
    line_.assign(text);
    Flush();
}

void LineWriter::WriteRegisterLine(std::string_view line, bool skip) {
    if (skip) return;
    line_.assign(variant_ == Variant::A ? "  " : "    ");
    const std::size_t start = line_.size();
    line_ += line;
    if (Prefixed() && !Contains(line, "<!") && !Contains(line, "tns:")) {
        std::size_t at = line_.find("</", start);
        if (at != std::string::npos) {
            line_.insert(at + 2, "tns:");
        } else if ((at = line_.find('<', start)) != std::string::npos) {
            line_.insert(at + 1, "tns:");
        }
    }
    if (line_.size() > start) Flush();
}

int ElementField(std::string_view element, bool margins, bool allDigits) {
    if (margins && Contains(element, "pVAT_")) return 70;
    if (margins && Contains(element, "zVAT_")) return 9;
    std::size_t at = element.find("K_");
    if (at == std::string_view::npos || at + 4 > element.size()) return 0;
    const char a = element[at + 2];
    const char b = element[at + 3];
    if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
    int n = (a - '0') * 10 + (b - '0');
    if (allDigits) {
        for (std::size_t i = at + 4; i < element.size() && element[i] >= '0' && element[i] <= '9'; ++i) {
            n = n * 10 + (element[i] - '0');
            // No field lies beyond the table; such an element carries no amount.
            if (n >= static_cast<int>(std::tuple_size_v<KTable>)) return 0;
        }
    }
    // Numbers below 10 would land on the running totals of the table.
    return n >= 10 ? n : 0;
}

std::string MapRegisterElement(JpkRun& run, std::string_view element, bool skip) {
    std::string line;
    MapRegisterElement(run, element, skip, line);
    return line;
}

void MapRegisterElement(JpkRun& run, std::string_view element, bool skip, std::string& line) {
    line.assign("  ");
    line += element;
    if (run.Prefixed()) {
        std::size_t at = line.find('<');
        if (at != std::string::npos) line.insert(at + 1, "tns:");
        at = line.find("</");
        if (at != std::string::npos) line.insert(at + 2, "tns:");
    }

    const int n = ElementField(element, run.marginMarks, run.Third());
    if (n == 0) return;
    const double amount = ElementAmount(element);
    if (!run.countFlag) return;
    run.k[n] += amount;
    if (run.correctionFlag && OneOf(n, {15, 17, 19})) run.k[68] += amount;
    if (run.correctionFlag && OneOf(n, {16, 18, 20})) run.k[69] += amount;
    if (skip) return;

    if (run.variant == Variant::A) {
        if (OneOf(n, {10, 11, 13, 15, 17, 19, 21, 22, 23, 25, 27, 29, 31, 32, 34})) run.k[8] += amount;
        else if (OneOf(n, {16, 18, 20, 24, 26, 28, 30, 33, 35, 36, 37})) run.k[7] += amount;
        else if (OneOf(n, {38, 39})) run.k[7] -= amount;
        else if (OneOf(n, {43, 45})) run.k[6] += amount;
        else if (OneOf(n, {44, 46})) run.k[5] += amount;
    } else {
        if (OneOf(n, {10, 11, 13, 15, 17, 19, 21, 22, 23, 25, 27, 29, 31})) run.k[8] += amount;
        else if (OneOf(n, {16, 18, 20, 24, 26, 28, 30, 32, 33, 34})) run.k[7] += amount;
        else if (OneOf(n, {35, 36, 360})) run.k[7] -= amount;
        else if (OneOf(n, {40, 42})) run.k[6] += amount;
        else if (OneOf(n, {41, 43})) run.k[5] += amount;
    }
}

bool ReadWholeFile(JpkRun& run, const std::string& file, char letter) {
    run.buffer.Clear();
    std::FILE* in = OpenFile(file, "rb");
    if (!in) {
        AddMissingLetter(run.missingLetters, letter);
        ShowStatus(run.program, "Brak " + file);
        return false;
    }
    // A register larger than any month's sales (a sparse file of gigabytes
    // in the work folder) counts as missing, so the requesting program hears
    // of it, and the status line says why; the run goes on without it.
    const auto tooLarge = [&] {
        std::fclose(in);
        run.buffer.Clear();
        AddMissingLetter(run.missingLetters, letter);
        ShowStatus(run.program, TooLargeMessage(file));
        return false;
    };
    std::error_code ec;
    const std::uintmax_t sizeOnDisk = std::filesystem::file_size(NativePath(file), ec);
    if (!ec && sizeOnDisk > kWholeFileLimit) return tooLarge();
    const std::size_t size = ec ? 0 : static_cast<std::size_t>(sizeOnDisk);
    run.sizeText = " z " + std::to_string(size);
    RegisterBuffer& buffer = run.buffer;
    const std::string tail = file.size() > 21 ? file.substr(file.size() - 21) : file;
    buffer.Reserve(static_cast<std::size_t>(size) + kReadBlock);
    for (;;) {
        // Blocks go straight into the buffer; a file that grows meanwhile is
        // read on to its end.
        const std::size_t got = std::fread(buffer.Reserve(kReadBlock), 1, kReadBlock, in);
        if (got == 0) break;
        const std::size_t from = buffer.Size();
        buffer.Grow(static_cast<std::size_t>(got));
        buffer.SurveyFrom(from);
        if (buffer.Size() > kWholeFileLimit) return tooLarge();  // grew while read
        ShowStatus(run.program, tail + "  " + std::to_string(buffer.Size()) + run.sizeText);
        if (got < static_cast<std::size_t>(kReadBlock)) break;
    }
    std::fclose(in);
    run.buffer.Rewind();
    return true;
}

namespace {

// Copies the rows of one register file; `rowName` is "SprzedazWiersz" or
// "ZakupWiersz". Returns false when the file ended before its control element.
// The texts the copy looks for in every element, found in one pass over it
// (many separate searches per element cost more than the rest of the copy).
enum Mark : unsigned {
    kSalesCtrl = 1u << 0,     // "SprzedazCtrl"
    kSalesRow = 1u << 1,      // "SprzedazWiersz"
    kSalesNumber = 1u << 2,   // "LpSprzedazy"
    kPurchaseCtrl = 1u << 3,  // "ZakupCtrl>"
    kPurchaseRow = 1u << 4,   // "ZakupWiersz"
    kPurchaseNumber = 1u << 5,  // "LpZakupu>"
    kComment = 1u << 6,       // "<!--"
    kFp = 1u << 7,            // ">FP<"
    kRo = 1u << 8,            // ">RO<"
    kCorrection = 1u << 9,    // "KorektaPodstawyOpodt"
    kAddress = 1u << 10,      // "AdresKontrahenta" or "AdresDostawcy"
    kTyp = 1u << 11,          // " typ="
};

unsigned ScanMarks(std::string_view e) {
    unsigned marks = 0;
    for (std::size_t i = 0; i < e.size(); ++i) {
        const std::string_view rest = e.substr(i);
        switch (e[i]) {
        case 'S':
            if (rest.starts_with("SprzedazCtrl")) marks |= kSalesCtrl;
            else if (rest.starts_with("SprzedazWiersz")) marks |= kSalesRow;
            break;
        case 'L':
            if (rest.starts_with("LpSprzedazy")) marks |= kSalesNumber;
            else if (rest.starts_with("LpZakupu>")) marks |= kPurchaseNumber;
            break;
        case 'Z':
            if (rest.starts_with("ZakupCtrl>")) marks |= kPurchaseCtrl;
            else if (rest.starts_with("ZakupWiersz")) marks |= kPurchaseRow;
            break;
        case '<':
            if (rest.starts_with("<!--")) marks |= kComment;
            break;
        case '>':
            if (rest.starts_with(">FP<")) marks |= kFp;
            else if (rest.starts_with(">RO<")) marks |= kRo;
            break;
        case 'K':
            if (rest.starts_with("KorektaPodstawyOpodt")) marks |= kCorrection;
            break;
        case 'A':
            if (rest.starts_with("AdresKontrahenta") || rest.starts_with("AdresDostawcy")) marks |= kAddress;
            break;
        case ' ':
            if (rest.starts_with(" typ=")) marks |= kTyp;
            break;
        default:
            break;
        }
    }
    return marks;
}

struct RegisterKind {
    const char* rowName;
    unsigned ctrl;  // the element that ends the rows
    unsigned row;
    unsigned number;
    const char* numberName;
    const char* noRowsText;
    bool sales;
    const char* documentName;  // the row's document number, which names it to the user
};

// What one copied row of the third generation says of its KSeF marker.
class RowMarkers {
public:
    void Start() {
        markers_ = 0;
        number_.clear();
        document_.clear();
    }
    // Looks at one leaf of the row.
    void See(std::string_view element, std::string_view documentName) {
        if (LeafIs(element, "NrKSeF")) {
            ++markers_;
            number_ = LeafText(element);
        } else if (LeafIs(element, "OFF") || LeafIs(element, "BFK") || LeafIs(element, "DI")) {
            ++markers_;
        } else if (LeafIs(element, documentName)) {
            document_ = LeafText(element);
        }
    }
    // At the row's end tag: enters the row in the run's lists when it lacks
    // its one marker or its number cannot be right.
    void End(JpkRun& run, const std::string& file) const {
        const std::string where = file + "  " + document_;
        if (markers_ != 1) run.unmarkedRows.push_back(where);
        if (!number_.empty() && !ksef::KsefChecksumOk(number_)) run.badKsefRows.push_back(where + "  " + number_);
    }

private:
    static bool LeafIs(std::string_view element, std::string_view name) {
        return element.size() > name.size() + 1 && element[0] == '<' && element.substr(1, name.size()) == name &&
               (element[name.size() + 1] == '>' || element[name.size() + 1] == ' ');
    }
    static std::string LeafText(std::string_view element) {
        const std::size_t gt = element.find('>');
        const std::size_t close = element.find("</");
        if (gt == std::string_view::npos || close == std::string_view::npos || close < gt) return {};
        std::string_view text = element.substr(gt + 1, close - gt - 1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
        return std::string(text);
    }

    int markers_ = 0;
    std::string number_;
    std::string document_;
};

void CopyRegisterFile(JpkRun& run, LineWriter& out, const RegisterKind& kind, const std::string& file, bool skip,
                      int level) {
    // Nothing before the first row is used: go straight to its tag.
    run.buffer.SkipToTagOf(kind.rowName);
    std::string first;
    do {
        first = run.buffer.NextElement();
    } while (!Contains(first, kind.rowName) && !run.buffer.Empty());
    if (!Contains(first, kind.rowName)) {
        ShowStatus(run.program, "\"" + file + kind.noRowsText);
        return;
    }
    StripTns(first);
    out.WriteRegisterLine(RowTag(first), skip);

    std::string line;
    bool ended = false;
    const bool dropAddresses = run.variant != Variant::A;
    // Only the rows that go into the file need their markers.
    const bool checkMarkers = run.Third() && !skip;
    RowMarkers row;
    row.Start();
    while (!run.buffer.Empty()) {
        const std::string& element = run.buffer.NextElement();
        if (element.empty()) continue;
        const unsigned marks = ScanMarks(element);
        if (marks & kind.ctrl) {
            ended = true;
            break;
        }
        if (marks & kComment) {
            out.WriteRegisterLine(element, skip);
        } else if (marks & kind.row) {
            if (checkMarkers) {
                if (element.size() > 1 && element[1] == '/') row.End(run, file);
                else row.Start();
            }
            if (marks & kTyp) out.WriteRegisterLine(RowTag(element), skip);
            else out.WriteRegisterLine(element, skip);
        } else if (marks & kind.number) {
            if (kind.sales) run.countFlag = true;
            if (!skip) {
                int& rows = kind.sales ? run.salesRows : run.purchaseRows;
                ++rows;
                out.WriteLeaf(level, kind.numberName, std::to_string(rows));
                if (kind.sales) {
                    run.correctionFlag = false;
                    ShowStatus(run.program, "4" + run.sizeText + "  " + file);
                }
            }
        } else {
            if (kind.sales) {
                if (marks & kFp) run.countFlag = false;
                if (marks & kRo) run.countFlag = true;
                if (marks & kCorrection) run.correctionFlag = true;
            }
            if (checkMarkers) row.See(element, kind.documentName);
            if (!(dropAddresses && (marks & kAddress))) {
                MapRegisterElement(run, element, skip, line);
                out.WriteRegisterLine(line, skip);
            }
        }
    }
    if (!ended) ShowStatus(run.program, "B\xb3\xb9" "d w  " + file);  // "Błąd w  "
}

void CopyRegisterFiles(JpkRun& run, LineWriter& out, const RegisterKind& kind, int level) {
    const std::string letters = run.Key("Rej");
    const std::vector<std::string> bases = MonthBases(run.base, run.quarterly, run.quarterDigit);
    for (std::size_t b = 0; b < bases.size(); ++b) {
        const bool skip = b + 1 < bases.size();
        for (char letter : letters) {
            const std::string file = RegisterFileName(bases[b], letter);
            if (!ReadWholeFile(run, file, letter)) continue;
            CopyRegisterFile(run, out, kind, file, skip, level);
        }
    }
}

}  // namespace

void WriteSalesRegister(JpkRun& run, LineWriter& out) {
    run.salesRows = 0;
    run.k[7] = run.k[8] = 0;
    const bool a = run.variant == Variant::A;
    const int level = a ? 2 : 3;
    static const RegisterKind kSales{"SprzedazWiersz", kSalesCtrl, kSalesRow, kSalesNumber, "LpSprzedazy",
                                     "\" bez sprzed.", true, "DowodSprzedazy"};
    CopyRegisterFiles(run, out, kSales, level);

    const int first = a ? 36 : 33;
    for (int n = first; n <= first + 3; ++n) {
        const double v = run.KeyAmount("K" + std::to_string(n));
        if (v == 0) continue;
        out.WriteTag(level - 1, "SprzedazWiersz");
        ++run.salesRows;
        out.WriteLeaf(level, "LpSprzedazy", std::to_string(run.salesRows));
        out.WriteLeaf(level, "NrKontrahenta", "BRAK");
        out.WriteLeaf(level, "NazwaKontrahenta", "BRAK");
        if (a) out.WriteLeaf(level, "AdresKontrahenta", "BRAK");
        out.WriteLeaf(level, "DowodSprzedazy", "BRAK");
        out.WriteLeaf(level, "DataWystawienia", LastDayText(run.period));
        // An internal document: the one KSeF marker the program knows itself.
        if (run.Third()) out.WriteLeaf(level, "DI", "1");
        if (!a) out.WriteLeaf(level, "TypDokumentu", "WEW");
        out.WriteLeaf(level, "K_" + std::to_string(n), FormatFixed2(v));
        run.k[n] = v;  // the request amount stands for the whole field
        out.WriteTag(level - 1, "/SprzedazWiersz");
        if (n < first + 2) run.k[7] += v;
        else run.k[7] -= v;
    }

    if (a && run.salesRows == 0) return;
    out.WriteTag(level - 1, "SprzedazCtrl");
    out.WriteLeaf(level, "LiczbaWierszySprzedazy", std::to_string(run.salesRows));
    out.WriteLeaf(level, "PodatekNalezny", FormatFixed2(run.k[7]));
    out.WriteTag(level - 1, "/SprzedazCtrl");
    run.countFlag = true;
}

void WritePurchaseRegister(JpkRun& run, LineWriter& out) {
    run.purchaseRows = 0;
    run.k[5] = run.k[6] = 0;
    run.countFlag = true;
    run.correctionFlag = false;
    const bool a = run.variant == Variant::A;
    const int level = a ? 2 : 3;
    static const RegisterKind kPurchases{"ZakupWiersz", kPurchaseCtrl, kPurchaseRow, kPurchaseNumber, "LpZakupu",
                                         "\" bez zakup\xf3w", false, "DowodZakupu"};  // "bez zakupów"
    CopyRegisterFiles(run, out, kPurchases, level);

    if (!a) {
        for (int n = 44; n <= 45; ++n) {
            const double v = run.KeyAmount("K" + std::to_string(n));
            if (v == 0) continue;
            out.WriteTag(level - 1, "ZakupWiersz");
            ++run.purchaseRows;
            out.WriteLeaf(level, "LpZakupu", std::to_string(run.purchaseRows));
            out.WriteLeaf(level, "NrDostawcy", "BRAK");
            out.WriteLeaf(level, "NazwaDostawcy", "BRAK");
            out.WriteLeaf(level, "DowodZakupu", "BRAK");
            out.WriteLeaf(level, "DataZakupu", LastDayText(run.period));
            if (run.Third()) out.WriteLeaf(level, "DI", "1");
            out.WriteLeaf(level, "DokumentZakupu", "WEW");
            out.WriteLeaf(level, "K_" + std::to_string(n), FormatFixed2(v));
            run.k[n] = v;
            out.WriteTag(level - 1, "/ZakupWiersz");
            run.k[5] += v;
        }
    }

    if (a && run.purchaseRows == 0) return;
    out.WriteTag(level - 1, "ZakupCtrl");
    out.WriteLeaf(level, "LiczbaWierszyZakupow", std::to_string(run.purchaseRows));
    out.WriteLeaf(level, "PodatekNaliczony", FormatFixed2(run.k[5]));
    out.WriteTag(level - 1, "/ZakupCtrl");
}

std::string RowCountText(std::size_t n) {
    const std::size_t tens = n % 100;
    const char* word = "wierszy";
    if (n == 1) word = "wiersz";
    else if (n % 10 >= 2 && n % 10 <= 4 && (tens < 12 || tens > 14)) word = "wiersze";
    return std::to_string(n) + " " + word;
}

std::string ReportKsefRows(JpkRun& run) {
    if (run.unmarkedRows.empty() && run.badKsefRows.empty()) return {};
    const std::string unmarked = "Brak znacznika KSeF";
    const std::string bad = "B\xb3\xea" "dny numer KSeF";  // "Błędny numer KSeF"
    std::string trace;
    for (const auto& row : run.unmarkedRows) trace += " " + unmarked + "  " + row + "\r\n";
    for (const auto& row : run.badKsefRows) trace += " " + bad + "  " + row + "\r\n";
    try {
        AppendFile("Vel.err", trace);
    } catch (const IoError&) {
        // The status line still gives the counts.
    }
    // Both counts on the one status line, short enough for its panel.
    std::string text;
    if (run.badKsefRows.empty()) {
        text = unmarked + ": " + RowCountText(run.unmarkedRows.size());
    } else if (run.unmarkedRows.empty()) {
        text = bad + ": " + RowCountText(run.badKsefRows.size());
    } else {
        text = unmarked + ": " + std::to_string(run.unmarkedRows.size()) + ", b\xb3\xea" "dny nr: " +
               std::to_string(run.badKsefRows.size());
    }
    ShowStatus(run.program, text);
    return text;
}

}  // namespace vel::jpk
