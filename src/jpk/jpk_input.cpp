#include "jpk/jpk_input.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace vel::jpk {

bool RequestLines::Load(std::string_view text) {
    for (auto& line : lines_) line.clear();
    int n = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t end = text.find_first_of("\r\n", i);
        if (end == std::string_view::npos) end = text.size();
        if (n == kRequestLineCount) return false;
        lines_[n++] = std::string(text.substr(i, end - i));
        i = end;
        // CR LF, a lone LF or a lone CR ends the line.
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
    }
    return true;
}

void RequestLines::Set(int n, std::string text) {
    if (n >= 1 && n <= kRequestLineCount) lines_[n - 1] = std::move(text);
}

const std::string& RequestLines::Line(int n) const {
    static const std::string kEmpty;
    return n >= 1 && n <= kRequestLineCount ? lines_[n - 1] : kEmpty;
}

void RequestLines::DropFront(int count) {
    if (count <= 0) return;
    if (count > kRequestLineCount) count = kRequestLineCount;
    for (int i = 0; i + count < kRequestLineCount; ++i) lines_[i] = std::move(lines_[i + count]);
    // The freed lines become empty, so that a full table runs out like a
    // short one instead of repeating its last line for ever.
    for (int i = kRequestLineCount - count; i < kRequestLineCount; ++i) lines_[i].clear();
}

bool RequestLines::FirstThreeEmpty() const { return Line(1).empty() && Line(2).empty() && Line(3).empty(); }

std::string RequestLines::LookupKey(std::string_view key) const {
    std::string value = "BRAK";
    for (const auto& line : lines_) {
        if (line.size() >= key.size() && std::string_view(line).substr(0, key.size()) == key) {
            value = line.size() > 4 ? line.substr(4, kKeyValueLimit) : std::string();
        }
    }
    return value;
}

double ParseAmount(std::string_view text) {
    if (text.empty()) return 0;
    std::size_t start = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        start = 1;
    }
    std::string_view digits = text.substr(start);
    // Only plain decimal numbers: no "inf", "nan", hex or a second sign.
    if (digits.empty() || !((digits[0] >= '0' && digits[0] <= '9') || digits[0] == '.')) return 0;
    double value = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size()) return 0;
    return negative ? -value : value;
}

double ElementAmount(std::string_view element) {
    std::size_t gt = element.find('>');
    std::size_t close = element.find("</");
    if (gt == std::string_view::npos || close == std::string_view::npos || close < gt) return 0;
    return ParseAmount(element.substr(gt + 1, close - gt - 1));
}

std::string NameField(std::string_view value, int index) {
    std::size_t start = 0;
    for (int i = 1; i < index; ++i) {
        std::size_t comma = value.find(',', start);
        if (comma == std::string_view::npos) return {};
        start = comma + 1;
    }
    std::size_t end = value.find(',', start);
    std::string_view field = value.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    while (!field.empty() && field.front() == ' ') field.remove_prefix(1);
    while (!field.empty() && field.back() == ' ') field.remove_suffix(1);
    return std::string(field);
}

std::string PeriodOf(std::string_view base) {
    std::size_t at = base.find("\\JPK_VAT");
    std::size_t start = at == std::string_view::npos ? 8 : at + 9;
    if (start >= base.size()) return {};
    return std::string(base.substr(start, 7));
}

Variant VariantOf(std::string_view period) {
    if (period <= "2020-09") return Variant::A;
    if (period <= "2021-06") return Variant::B;
    if (period <= "2021-12") return Variant::C;
    if (period <= "2026-01") return Variant::D;
    return Variant::E;
}

char QuarterDigit(std::string_view period) {
    if (period.size() < 7) return '0';
    const std::string_view months = "XX-03-06-09-12";
    std::size_t at = months.find(period.substr(4, 3));
    if (at == std::string_view::npos) return '0';
    return static_cast<char>('0' + (at + 1) / 3);
}

std::string FirstDayText(std::string_view period) { return std::string(period) + "-01"; }

std::string LastDayText(std::string_view period) {
    std::string_view month = period.size() >= 7 ? period.substr(5, 2) : std::string_view();
    const char* day = "31";
    if (month == "02") day = "28";
    else if (month == "04" || month == "06" || month == "09" || month == "11") day = "30";
    return std::string(period) + "-" + day;
}

std::vector<std::string> MonthBases(const std::string& base, bool quarterly, char quarterDigit) {
    if (!quarterly || quarterDigit == '0' || base.size() < 10) return {base};
    const std::size_t second = base.size() - 9;
    std::vector<std::string> bases;
    for (int back = 2; back >= 1; --back) {
        std::string earlier = base;
        earlier[second] = static_cast<char>(base[second] - back);
        bases.push_back(std::move(earlier));
    }
    bases.push_back(base);
    return bases;
}

std::string RegisterFileName(std::string_view monthBase, char letter) {
    std::string name(monthBase);
    name += '_';
    name += letter;
    name += ".xml";
    return name;
}

void AddMissingLetter(std::string& list, char letter) {
    if (list.find(letter) != std::string::npos || list.size() >= kMissingLettersLimit) return;
    list += letter;
}

void EraseAll(std::string& text, std::string_view what) {
    if (!Contains(text, what)) return;
    std::size_t at = text.find(what);
    // One pass that closes the gaps, so a text with many hits stays linear.
    std::size_t out = at;
    std::size_t in = at;
    while (in < text.size()) {
        if (text.compare(in, what.size(), what) == 0) {
            in += what.size();
        } else {
            text[out++] = text[in++];
        }
    }
    text.resize(out);
}

void StripTns(std::string& text) { EraseAll(text, "tns:"); }

void RegisterBuffer::Assign(std::string_view bytes) {
    Release();
    std::copy(bytes.begin(), bytes.end(), Reserve(bytes.size()));
    Grow(bytes.size());
    Survey();
}

char* RegisterBuffer::Reserve(std::size_t capacity) {
    if (size_ + capacity > capacity_) {
        const std::size_t grown = std::max(size_ + capacity, size_ == 0 ? capacity : 2 * size_);
        std::unique_ptr<char[]> bigger(new char[grown]);  // no zeroing
        std::copy(data_.get(), data_.get() + size_, bigger.get());
        data_ = std::move(bigger);
        capacity_ = grown;
    }
    return data_.get() + size_;
}

void RegisterBuffer::SurveyFrom(std::size_t from) {
    // A mark that runs past the end is looked at again with the next block.
    constexpr std::size_t kLongestMark = 8;
    from = from > kLongestMark ? from - kLongestMark : 0;
    if (!hasTns_) hasTns_ = Holds("tns:", 3, from);
    if (!hasTyp_) hasTyp_ = Holds(" typ=\"G\"", 4, from);
}

bool RegisterBuffer::Holds(std::string_view mark, std::size_t anchor, std::size_t from) const {
    const std::string_view text = Text();
    for (std::size_t at = text.find(mark[anchor], from + anchor); at != std::string_view::npos;
         at = text.find(mark[anchor], at + 1)) {
        if (at + mark.size() - anchor <= text.size() && text.compare(at - anchor, mark.size(), mark) == 0) return true;
    }
    return false;
}

void RegisterBuffer::SkipToTagOf(std::string_view mark) {
    const std::size_t at = Find(mark);
    if (at == std::string::npos) {
        EndNow();
        return;
    }
    const std::size_t lt = Text().rfind('<', at);
    if (lt != std::string::npos && lt > pos_) pos_ = lt;
}

const std::string& RegisterBuffer::NextElement() {
    constexpr auto npos = std::string::npos;
    element_.clear();
    const std::string_view text = Text();
    std::size_t lt = Find('<');
    if (lt == npos) {
        EndNow();
        return element_;
    }
    pos_ = lt;
    std::size_t gt = Find('>');
    if (gt == npos) {
        EndNow();
        return element_;
    }
    element_.assign(text.substr(pos_, gt + 1 - pos_));
    pos_ = gt + 1;
    if (hasTns_) StripTns(element_);
    if (element_.size() > 1 && element_[1] == '/') return element_;

    const std::size_t nextOpen = Find('<');
    std::size_t nextClose = nextOpen;
    if (nextOpen != npos && (nextOpen + 1 >= text.size() || text[nextOpen + 1] != '/')) {
        nextClose = text.find("</", nextOpen + 1);
    }
    if (nextClose != npos && nextClose > nextOpen) return element_;  // a container: another tag opens first

    // A leaf: its text and end tag follow, up to the next '>'.
    std::size_t nextGt = Find('>');
    if (nextOpen != npos && (nextGt == npos || nextGt < nextOpen)) {
        EndNow();
        element_.clear();
        return element_;
    }
    if (nextGt != npos) {
        element_.append(text.substr(pos_, nextGt + 1 - pos_));
        pos_ = nextGt + 1;
    }
    if (hasTns_) StripTns(element_);
    if (hasTyp_) EraseAll(element_, " typ=\"G\"");
    return element_;
}

}  // namespace vel::jpk
