#include "pcl/pcl_title.h"

#include "common/format.h"

#include "common/program.h"
#include "common/status.h"
#include "platform/clipboard.h"

#include <array>
#include <optional>

namespace vel::pcl {

namespace {

constexpr std::size_t npos = std::string::npos;

// Copy of at most n characters from pos; empty when pos lies past the end.
std::string Sub(const std::string& s, std::size_t pos, std::size_t n) {
    return pos >= s.size() ? std::string() : s.substr(pos, n);
}

bool Contains(const std::string& s, std::string_view what) { return s.find(what) != npos; }

// Text up to (not including) its first character at or below a space.
std::string CutAtControl(std::string w) {
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (static_cast<unsigned char>(w[i]) <= 0x20) {
            w.resize(i);
            break;
        }
    }
    return w;
}

// A document number after " Nr ", "VAT " or "URA " at p: number/month/year
// becomes year+month+number (number padded to five) so that file names sort
// by date; a credit note keeps its order with "+" for "/".
void NumberRule(PclJobState& s, std::size_t p) {
    const std::string& line = s.JobLine;
    std::string w = CutAtControl(Sub(line, p + 4, 20));
    if (Contains(line, "NOTA")) {
        for (char& c : w) {
            if (c == '/') c = '+';
        }
        s.JobTitle = w;
        return;
    }
    std::string first, second;
    if (std::size_t a = w.find('/'); a != npos) {
        first = w.substr(0, a);
        w.erase(0, a + 1);
    }
    if (std::size_t b = w.find('/'); b != npos) {
        second = w.substr(0, b);
        w.erase(0, b + 1);
    }
    if (first.size() < 5) first.insert(0, 5 - first.size(), '0');
    s.JobTitle = w + "+" + second + "+" + first;
}

void WordRule(PclJobState& s, std::size_t p) { s.JobTitle = CutAtControl(Sub(s.JobLine, p + 15, 20)); }

// Program tag: "W" and the three characters before the first "." (as in
// "WQA.") plus three characters further on, then whom the report is for.
void TagRule(PclJobState& s) {
    s.JobTitle = kDefaultJobTitle;
    std::string copy = s.JobLine;
    for (;;) {
        const std::size_t w = copy.find('W');
        if (w == npos) return;
        copy.erase(0, w + 1);
        if (copy.find('.') == 2) break;
    }
    s.JobTitle = "W" + Sub(copy, 0, 3) + Sub(copy, 12, 3);
    const std::string_view kFor = "   dla   ";
    if (std::size_t d = copy.find(kFor); d != npos) {
        std::string whom = copy.substr(d + kFor.size());
        if (std::size_t cut = whom.find("  "); cut != npos) whom.resize(cut);
        s.JobTitle += " " + ConvertPolishLetters(whom);
    }
}

// A period from the first to the last day of one month becomes "YYYY-MM".
// February always ends on the 28th here.
void MonthEndRule(std::string& s) {
    const int month = ParseWholeNumber(Sub(s, 3, 2)).value_or(0);
    std::string day = "30";
    switch (month) {
        case 1: case 3: case 5: case 7: case 8: case 10: case 12: day = "31"; break;
        case 2: day = "28"; break;
        default: break;
    }
    const std::string mark = day + "-";
    if (Sub(s, 0, 3) == mark || Sub(s, 11, 3) == mark) s = Sub(s, 6, 4) + Sub(s, 2, 3);
}

}  // namespace

std::string ConvertPolishLetters(std::string_view text) {
    // Ą Ć Ę Ł Ń Ó Ś Ż Ź - ą ć ę ł ń ó ś ż ź
    static constexpr unsigned char kFrom852[19] = {0xA4, 0x8F, 0xA8, 0x9D, 0xE3, 0xE0, 0x97, 0xBD, 0x8D, '-',
                                                   0xA5, 0x86, 0xA9, 0x88, 0xE4, 0xA2, 0x98, 0xBE, 0xAB};
    static constexpr unsigned char kTo1250[19] = {0xA5, 0xC6, 0xCA, 0xA3, 0xD1, 0xD3, 0x8C, 0xAF, 0x8F, '-',
                                                  0xB9, 0xE6, 0xEA, 0xB3, 0xF1, 0xF3, 0x9C, 0xBF, 0x9F};
    static const std::array<unsigned char, 256> kMap = [] {
        std::array<unsigned char, 256> map{};
        for (int b = 0; b < 256; ++b) map[b] = static_cast<unsigned char>(b);
        for (int i = 0; i < 19; ++i) map[kFrom852[i]] = kTo1250[i];
        return map;
    }();
    // One byte at a time, so that a converted letter is never converted again
    // (852 "ą" is 1250 "Ą").
    std::string out(text);
    for (char& c : out) c = static_cast<char>(kMap[static_cast<unsigned char>(c)]);
    return out;
}

void DeriveJobTitle(PclJobState& s) {
    std::string& line = s.JobLine;
    if (!line.empty() && static_cast<unsigned char>(line[0]) == 0xFF) {
        line.erase(0, 1);
        const std::size_t end = line.find('\xFF');
        if (end != npos) {
            s.JobTitle = ConvertPolishLetters(std::string_view(line).substr(0, end));
            line.erase(0, end + 1);
        } else {
            s.JobTitle.clear();
        }
    }
    if (s.JobTitle != kDefaultJobTitle) return;
    TagRule(s);
    if (s.JobTitle != kDefaultJobTitle) return;
    for (const char* key : {" Nr ", "VAT ", "URA "}) {
        if (std::size_t p = line.find(key); p != npos) {
            NumberRule(s, p);
            if (s.JobTitle != kDefaultJobTitle) return;
        }
    }
    if (std::size_t p = line.find(" Numer dowo"); p != npos) WordRule(s, p);
}

void ApplyPathRule(PclJobState& s) {
    const std::size_t slash = s.JobLine.find('\\');
    if (slash == npos) return;
    const std::string rest = s.JobLine.substr(slash + 1);
    const std::size_t dot = rest.find('.');
    if (dot == npos) return;
    s.JobTitle += " " + rest.substr(0, dot);
}

void ApplyBracketRule(PclJobState& s) {
    const std::size_t at = s.JobLine.find("[K");
    if (at == npos) return;
    std::string key = "[" + Sub(s.JobLine, at + 3, npos);
    if (std::size_t close = key.find(']'); close != npos) key.resize(close + 1);
    // Characters that a file name cannot hold.
    for (char& c : key) {
        switch (c) {
            case ':': c = '='; break;
            case '?': c = 'z'; break;
            case '*': c = 'x'; break;
            case '/':
            case '\\': c = '^'; break;
            default: break;
        }
    }
    s.JobTitle += " " + key;
}

void ApplyPeriodRule(PclJobState& s) {
    const std::string& line = s.JobLine;
    const std::size_t q = line.find(" do ");
    if (q == npos || q + 1 < 5) return;  // positions counted from 1 below
    const std::size_t p = q + 1;
    std::string period;
    if (p > 10 && Sub(line, q - 4, 2) == "20") {
        // "DD-MM-20YY do DD-MM-20YY": start date, a bullet, end date.
        period = Sub(line, q - 10, 10) + "\x95" + Sub(line, q + 4, 10);
        if (Sub(period, 3, 2) == Sub(period, 14, 2) && (period.rfind("01-", 0) == 0 || period.rfind("02-01", 0) == 0))
            MonthEndRule(period);
    } else {
        if (Sub(line, q + 10, 2) != "20") return;
        period = line.substr(q + 4);
        MonthEndRule(period);
    }
    if (!Contains(s.JobTitle, period)) s.JobTitle += " " + period;
    const std::string_view kRegister = " REJESTR ";
    if (std::size_t r = line.find(kRegister); r != npos) {
        const std::string name = Sub(line, r + kRegister.size() - 1, 6);
        if (!Contains(s.JobTitle, name)) s.JobTitle += name;
    }
}

void PublishJobTitle(PclJobState& s) {
    ShowStatus(s.program, "Druk: " + s.JobTitle);
    ++s.program.state.printTitleCounter;
    s.JobTitle += " ~" + std::to_string(s.program.state.printTitleCounter) + ".PDF";
    s.DocumentTitle = s.JobTitle;
    s.program.sys.clipboard.setText(s.JobTitle);
}

}  // namespace vel::pcl
