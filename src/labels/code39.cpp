#include "labels/code39.h"

#include "platform/canvas.h"

namespace vel::labels {

namespace {

constexpr std::array<Code39Entry, kCode39Count> kTable = {{
    {'0', "505160605", 0},  {'1', "605150506", 1},  {'2', "506150506", 2},  {'3', "606150505", 3},
    {'4', "505160506", 4},  {'5', "605160505", 5},  {'6', "506160505", 6},  {'7', "505150606", 7},
    {'8', "605150605", 8},  {'9', "506150605", 9},  {'A', "605051506", 10}, {'B', "506051506", 11},
    {'C', "606051505", 12}, {'D', "505061506", 13}, {'E', "605061505", 14}, {'F', "506061505", 15},
    {'G', "505051606", 16}, {'H', "605051605", 17}, {'I', "506051605", 18}, {'J', "505061605", 19},
    {'K', "605050516", 20}, {'L', "506050516", 21}, {'M', "606050515", 22}, {'N', "505060516", 23},
    {'O', "605060515", 24}, {'P', "506060515", 25}, {'Q', "505050616", 26}, {'R', "605050615", 27},
    {'S', "506050615", 28}, {'T', "505060615", 29}, {'U', "615050506", 30}, {'V', "516050506", 31},
    {'W', "616050505", 32}, {'X', "515060506", 33}, {'Y', "615060505", 34}, {'Z', "516060505", 35},
    {'-', "515050606", 36}, {'.', "615050605", 37}, {' ', "516050605", 38},
    // Start and stop character: never part of a check sum, so it has no value of its own.
    {'*', "515060605", 0},
    {'$', "515151505", 39}, {'/', "515150515", 40}, {'+', "515051515", 41}, {'%', "505151515", 42},
}};

constexpr int kSpaceIndex = 38;
constexpr int kStartStopIndex = 39;

void AppendModules(std::string& out, const char* elements) {
    for (const char* p = elements; *p; ++p) {
        switch (*p) {
            case '0': out += '.'; break;
            case '1': out += ".."; break;
            case '2': out += "..."; break;
            case '3': out += "...."; break;
            case '5': out += '|'; break;
            case '6': out += "||"; break;
            case '7': out += "|||"; break;
            case '8': out += "||||"; break;
            default: break;
        }
    }
}

}  // namespace

const std::array<Code39Entry, kCode39Count>& Code39Table() { return kTable; }

int Code39Index(char ch) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    for (int i = 0; i < kCode39Count; ++i) {
        if (kTable[i].ch == ch) return i;
    }
    return -1;
}

std::string Code39Modules(std::string_view text) {
    std::string out;
    out.reserve(13 * text.size() + 25);
    AppendModules(out, kTable[kStartStopIndex].elements);
    out += '.';
    for (char ch : text) {
        const int i = Code39Index(ch);
        AppendModules(out, kTable[i < 0 ? kSpaceIndex : i].elements);
        out += '.';
    }
    AppendModules(out, kTable[kStartStopIndex].elements);
    return out;
}

void DrawModule(platform::Canvas& canvas, int x1, int x2, int top, char module, int bottom) {
    if (module == '|') canvas.fillRect({x1, top}, {x2, bottom}, platform::kBlack);
}

}  // namespace vel::labels
