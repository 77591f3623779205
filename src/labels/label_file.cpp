#include "labels/label_file.h"

#include <limits>

namespace vel::labels {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string TrimSpaces(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return std::string(s.substr(b, e - b));
}

// Optional sign and decimal digits, nothing else; false when it is not such
// a number or does not fit.
bool ParseWholeNumber(std::string_view s, long long& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    long long v = 0;
    constexpr long long kMax = std::numeric_limits<int>::max();
    for (; i < s.size(); ++i) {
        if (!IsDigit(s[i])) return false;
        v = v * 10 + (s[i] - '0');
        if (v > kMax) return false;
    }
    value = negative ? -v : v;
    return true;
}

}  // namespace

std::uint16_t NextNumber(std::string& header) {
    header += " 0 ";
    std::size_t start = 0;
    while (start < header.size() && !IsDigit(header[start])) ++start;
    std::size_t end = start;
    std::uint16_t value = 0;
    while (end < header.size() && IsDigit(header[end])) {
        value = static_cast<std::uint16_t>(value * 10u + static_cast<unsigned>(header[end] - '0'));
        ++end;
    }
    header.erase(0, end);
    return value;
}

std::string NextTabField(std::string& line) {
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
        std::string field = TrimSpaces(line);
        line.clear();
        return field;
    }
    std::string field = TrimSpaces(std::string_view(line).substr(0, tab));
    line.erase(0, tab + 1);
    return field;
}

LabelHeader ReadLabelHeader(std::string line) {
    LabelHeader header;
    for (int i = 1; i <= 17; ++i) header.n[i] = NextNumber(line);
    // The separator after the last number goes; the title is the next word.
    // Each number found leaves the " 0 " appended for it behind, so a header
    // with fewer numbers than seventeen and a title word ends in "  0  0 ...";
    // skipping the spaces titles it "0" rather than leaving it without a title.
    std::string_view rest(line);
    if (!rest.empty()) rest.remove_prefix(1);
    const std::size_t word = rest.find_first_not_of(' ');
    rest = word == std::string_view::npos ? std::string_view() : rest.substr(word);
    header.title = std::string(rest.substr(0, rest.find(' ')));
    return header;
}

LabelRecord ReadLabelRecord(std::string line) {
    LabelRecord record;
    for (int i = 1; i <= 5; ++i) record.field[i] = NextTabField(line);
    long long copies = 0;
    record.copies = ParseWholeNumber(record.field[5], copies) ? copies : 1;
    return record;
}

bool LineReader::next(std::string& line) {
    if (atEnd()) return false;
    std::size_t end = bytes_.find('\n', pos_);
    std::size_t stop = end == std::string_view::npos ? bytes_.size() : end;
    std::size_t cut = stop;
    if (cut > pos_ && bytes_[cut - 1] == '\r') --cut;
    line.assign(bytes_.substr(pos_, cut - pos_));
    pos_ = end == std::string_view::npos ? bytes_.size() : end + 1;
    return true;
}

}  // namespace vel::labels
