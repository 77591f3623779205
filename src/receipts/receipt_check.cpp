#include "receipts/receipt_check.h"

#include "common/format.h"
#include "common/io.h"
#include "receipts/text_lines.h"

#include <charconv>
#include <cmath>

namespace vel::receipts {

void AddReceiptError(ReceiptErrors& errors, std::string_view message, int rows) {
    if (errors.count < kMaxReceiptErrors) {
        errors.messages[errors.count++] = std::string(message) + " w wierszu nr " + std::to_string(rows);
    } else {
        errors.messages[kMaxReceiptErrors - 1] = kMoreErrors;
    }
}

std::string StripTrailingZeros(std::string text) {
    while (!text.empty() && text.back() == '0') text.pop_back();
    return text;
}

namespace scan {

std::string PrepareText(std::string_view fileBytes) {
    std::string joined;
    joined.reserve(fileBytes.size() + 16);
    for (std::string_view line : SplitLines(fileBytes)) {
        joined.append(line);
        joined.push_back(' ');
    }
    std::string text;
    text.reserve(joined.size() + joined.size() / 8);
    for (std::size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] == '>' && i > 0) text.push_back(' ');
        text.push_back(joined[i]);
    }
    return text;
}

bool ParseNumber(std::string_view text, double& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++expDigits;
        if (expDigits == 0) return false;
    }
    if (i != text.size()) return false;
    // from_chars reads the shape checked above with '.' whatever the process
    // locale is (the C library's strtod would stop at '.' under the users'
    // pl_PL locale). It takes no '+', and it reports a value too small for a
    // double as out of range where the reading is 0.
    std::string_view number = text.substr(start);
    const bool negative = number.front() == '-';
    if (number.front() == '+' || number.front() == '-') number.remove_prefix(1);
    double v = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (ec == std::errc::result_out_of_range) {
        const std::size_t exponent = number.find_first_of("eE");
        if (exponent == std::string_view::npos || number.substr(exponent + 1).find('-') == std::string_view::npos)
            return false;  // too large
        v = 0;
    } else if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(v)) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

std::size_t Pos(std::string_view needle, std::string_view haystack) {
    if (needle.empty()) return 0;
    const std::size_t at = haystack.find(needle);
    return at == std::string_view::npos ? 0 : at + 1;
}

}  // namespace scan

namespace {

constexpr std::size_t kWindow = 99;

constexpr std::string_view kTags = " <?XML <PAR <WIERSZ </PAR ";
constexpr std::string_view kDeclarationKeys = " VERSION ENCODING STANDALONE ";
constexpr std::string_view kHeaderKeys = " NR SUMVAT SUMBRT ";
constexpr std::string_view kRowKeys = " LP STVAT INDEKS ILOSC CENA UPUST SUMNET ";

enum Segment { None = 0, Declaration = 1, Header = 2, Row = 3 };

// Fixed decimals without leading spaces and without a negative zero; the
// price is formatted from its extended-precision value.
std::string FormatFixed(long double x, int decimals) {
    char buf[5200];  // every digit of the largest long double
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, decimals);
    std::string s(buf, ec == std::errc() ? end : buf);
    if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
    return s;
}

class Scanner {
public:
    Scanner(std::string text, ReceiptErrors& errors) : text_(std::move(text)), errors_(errors) {}

    ScanResult run() {
        resetRow();
        const std::ptrdiff_t length = static_cast<std::ptrdiff_t>(text_.size());
        // at_ is the index of the last character examined; the last character
        // of the text (the space after the last line) is never examined.
        at_ = -1;
        bool ended = false;
        while (!ended) {
            ++at_;
            if (at_ >= length - 1) break;
            ended = step();
        }
        if (rows_ == 0) error("  27. Pusty paragon");
        return {std::move(out_), nr_, rows_};
    }

private:
    // One character of the scan loop; true when the end tag was met.
    bool step() {
        const char c = text_[static_cast<std::size_t>(at_)];
        switch (c) {
        case ' ':
            return false;
        case '"':
            strayQuote_ = !strayQuote_;
            return false;
        case '<':
            return tag();
        case '>':
            if (segment_ == Header) writeHeader();
            if (segment_ == Row) finishRow();
            if (strayQuote_) segment_ = None;
            return false;
        default:
            if (segment_ != None) attribute();
            return false;
        }
    }

    // The window: the text from the current character on, at most 99 long.
    std::string_view window() const {
        return std::string_view(text_).substr(static_cast<std::size_t>(at_), kWindow);
    }

    // Reads upper-cased characters until one of the delimiters; the delimiter
    // itself (or the end of the window, which counts as one) is left for the
    // next step. Sets delimiter_ to its index within the window.
    std::string readName(std::string_view delimiters) {
        const std::string_view w = window();
        std::size_t k = 0;
        while (k < w.size() && delimiters.find(w[k]) == std::string_view::npos) ++k;
        std::string name = UpperAscii(std::string(w.substr(0, k)));
        windowStart_ = static_cast<std::size_t>(at_);
        delimiter_ = k;
        at_ += static_cast<std::ptrdiff_t>(k);
        return name;
    }

    static std::string withoutLast(const std::string& name) {
        return name.empty() ? std::string() : name.substr(0, name.size() - 1);
    }

    bool tag() {
        const std::string name = readName(" >");
        switch (scan::Pos(withoutLast(name), kTags)) {
        case 2:
            segment_ = Declaration;
            return false;
        case 8:
            segment_ = Header;
            return false;
        case 13:
            segment_ = Row;
            resetRow();
            return false;
        case 21:
            return true;
        default:
            error("  22. Dziwny " + name);
            return false;
        }
    }

    // The value between the first two double quotes after the name, within
    // the name's window. A value whose quotes do not both lie in the window is
    // reported for the row and not read: the scan goes on after the name.
    bool readQuotedValue(const std::string& key, std::string& value) {
        const std::string_view w = std::string_view(text_).substr(windowStart_, kWindow);
        // A name that ends at the tag's ">" has no value. The quotes after
        // it belong to the next element, which would lend this one its values
        // and leave the row unfinished: an error, and the ">" closes the tag.
        if (delimiter_ < w.size() && w[delimiter_] == '>') {
            error("  28. Brak wartosci " + key);
            at_ = static_cast<std::ptrdiff_t>(windowStart_ + delimiter_) - 1;
            return false;
        }
        const std::size_t open = delimiter_ < w.size() ? w.find('"', delimiter_) : std::string_view::npos;
        const std::size_t close = open == std::string_view::npos ? open : w.find('"', open + 1);
        if (close == std::string_view::npos) {
            error("  23. Niedomknieta wartosc " + key);
            return false;
        }
        value = std::string(w.substr(open + 1, close - open - 1));
        // The character right after the closing quote is passed over.
        at_ = static_cast<std::ptrdiff_t>(windowStart_ + close + 1);
        return true;
    }

    void attribute() {
        const std::string name = readName("=>");
        const std::string key = withoutLast(name);
        std::string value;
        switch (segment_) {
        case Declaration:
            switch (scan::Pos(key, kDeclarationKeys)) {
            case 2: readQuotedValue("VERSION", value); return;
            case 10: readQuotedValue("ENCODING", value); return;
            case 19: readQuotedValue("STANDALONE", value); return;
            default: error("  24. <?XML VERSION ENCODING STANDALONE ?\?\?>"); return;
            }
        case Header:
            switch (scan::Pos(key, kHeaderKeys)) {
            case 2: readFieldValue("NR", nr_); return;
            case 5: readFieldValue("SUMVAT", sumVat_); return;
            case 12: readFieldValue("SUMBRT", sumBrt_); return;
            default: error("  25. <PAR NR SUMVAT SUMBRT ?\?\?>"); return;
            }
        case Row:
            switch (scan::Pos(key, kRowKeys)) {
            case 2: readQuotedValue("LP", value); return;
            case 5:
                if (readQuotedValue("STVAT", value)) readVatRate(value);
                return;
            case 11: readFieldValue("INDEKS", index_); return;
            case 18:
                if (readQuotedValue("ILOSC", value)) readReal(value, quantity_, "  35. Dziwna ilosc");
                return;
            case 24:
                if (readQuotedValue("CENA", value)) readReal(value, price_, "  36. Dziwna cena");
                return;
            case 29:
                if (readQuotedValue("UPUST", value)) readReal(value, discount_, "  37. Dziwny upust");
                return;
            case 35: readQuotedValue("SUMNET", value); return;
            default: error("  26. <WIERSZ LP STVAT INDEKS ILOSC CENA UPUST SUMNET ?\?\?>"); return;
            }
        case None:
            return;
        }
    }

    // A value copied into a ";"-separated line of "PAR.PAS": a ";" in it
    // would shift the driver's fields. (A line break never reaches a value:
    // the lines are joined with spaces.)
    bool readFieldValue(const std::string& key, std::string& target) {
        std::string value;
        if (!readQuotedValue(key, value)) return false;
        if (value.find(';') != std::string::npos) error("  29. Niedozwolony znak w wartosci " + key);
        target = value;
        return true;
    }

    // A value that is no number leaves 0 behind (shown so in the row line).
    void readReal(const std::string& value, double& target, const char* message) {
        double v = 0;
        if (!scan::ParseNumber(value, v)) {
            target = 0;
            error(message);
            return;
        }
        target = v;
    }

    // A rate that is no number, or too large for a whole number, leaves 0.
    void readVatRate(const std::string& value) {
        double v = 0;
        if (!scan::ParseNumber(value, v) || std::fabs(v) > 2147483647.0) {
            vatRate_ = 0;
            error("  34. Dziwna stawka vat");
            return;
        }
        vatRate_ = static_cast<int>(RoundHalfEven(v));
    }

    void resetRow() {
        vatRate_ = 22;
        index_.clear();
        quantity_ = 0;
        price_ = 0;
        discount_ = 0;
    }

    void writeHeader() {
        out_ += nr_ + ";" + StripTrailingZeros(sumVat_) + ";" + StripTrailingZeros(sumBrt_) + "\r\n";
    }

    void finishRow() {
        ++rows_;
        // Extended precision as the checks compare against extended limits.
        long double gross = (100.0L - discount_) * static_cast<long double>(price_) / 100.0L;
        if (vatRate_ > 0) gross *= static_cast<long double>(vatRate_) * 0.01L + 1.0L;
        out_ += std::to_string(vatRate_) + ";" + index_ + ";" + FormatFixed(quantity_, 4) + ";" +
                FormatFixed(gross, 2) + "\r\n";
        if (index_.empty()) error("  30. Nie ma indeksu");
        if (static_cast<long double>(quantity_) <= 0.00005L) error("  31. Niedodatnia ilosc");
        if (static_cast<long double>(price_) <= 0.005L) error("  32. Niedodatnia cena");
        if (!(gross > 0.005L)) error("  33. Niedodatnia wartosc");
    }

    void error(const std::string& message) { AddReceiptError(errors_, message, rows_); }

    std::string text_;
    ReceiptErrors& errors_;
    std::ptrdiff_t at_ = -1;
    std::size_t windowStart_ = 0;
    std::size_t delimiter_ = 0;
    Segment segment_ = None;
    bool strayQuote_ = false;
    int rows_ = 0;

    int vatRate_ = 22;
    std::string index_;
    double quantity_ = 0;
    double price_ = 0;
    double discount_ = 0;

    std::string nr_, sumVat_, sumBrt_;
    std::string out_;
};

}  // namespace

ScanResult ScanReceipt(std::string_view fileBytes, ReceiptErrors& errors) {
    return Scanner(scan::PrepareText(fileBytes), errors).run();
}

ValidateResult ValidateReceipt(const std::string& receiptFile, ReceiptErrors& errors) {
    const std::string bytes = ReadFile(receiptFile, kJobFileLimit);
    ScanResult scanned = ScanReceipt(bytes, errors);
    WriteFile(kHandOffFile, scanned.handOff);
    return {scanned.nr, scanned.rows};
}

}  // namespace vel::receipts
