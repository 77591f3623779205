#include "pcl/pcl_render.h"

#include "common/io.h"
#include "common/program.h"
#include "platform/canvas.h"
#include "platform/printer.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <sys/stat.h>

namespace vel::pcl {

namespace {

constexpr std::size_t kInputBlock = 64 * 1024;

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

// ---- JobInput

JobInput::~JobInput() { close(); }

bool JobInput::open(const std::string& name) {
    close();
    file_ = OpenFile(name, "rb");
    if (!file_) return false;
    // A folder opens on this system, but it is no job file.
    struct stat st {};
    if (fstat(fileno(file_), &st) != 0 || !S_ISREG(st.st_mode)) {
        close();
        return false;
    }
    name_ = name;
    buf_.resize(kInputBlock);
    pos_ = len_ = 0;
    return true;
}

std::int32_t JobInput::size() const {
    if (!file_) return 0;
    struct stat st {};
    if (fstat(fileno(file_), &st) != 0) throw IoError(name_, "cannot read the size");
    if (st.st_size > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(st.st_size);
}

unsigned char JobInput::refill() {
    if (!file_) throw IoError(name_, "read from a closed file");
    len_ = std::fread(buf_.data(), 1, buf_.size(), file_);
    pos_ = 0;
    if (len_ == 0) throw IoError(name_, std::ferror(file_) ? "cannot read" : "read beyond end of file");
    return buf_[pos_++];
}

void JobInput::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    pos_ = len_ = 0;
}

// ---- Reading

void ReadJobLine(PclJobState& s) {
    // Lines are read before the print pass, whose first item clears the echo:
    // they need not feed it.
    std::string& line = s.JobLine;
    line.clear();
    bool crlf = false;
    do {
        ReadJobByteQuietly(s);
        line += static_cast<char>(s.CurrentByte);
        crlf = s.CurrentByte == 0x0A && line.size() >= 2 && line[line.size() - 2] == '\r';
    } while (!crlf && !AtJobEnd(s));
    if (crlf) line.resize(line.size() - 2);
    while (!line.empty() && line.back() == ' ') line.pop_back();
}

double ParseParameterText(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t numberStart = i;
    std::size_t digits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
    }
    if (digits == 0 || i != text.size()) return 0;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data() + numberStart, text.data() + text.size(), value,
                                     std::chars_format::fixed);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return 0;
    return negative ? -value : value;
}

std::int32_t RoundToInt32(double v) {
    if (std::isnan(v)) return 0;
    const double r = std::nearbyint(v);  // the default rounding mode: ties to even
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

std::uint8_t ReadParameter(PclJobState& s, const std::string& prefix) {
    std::string text = prefix;
    do {
        ReadJobByte(s);
        text += static_cast<char>(s.CurrentByte);
    } while (!IsAsciiLetter(s.CurrentByte) && !AtJobEnd(s));
    text.pop_back();
    s.ParamValue = ParseParameterText(text);
    return s.CurrentByte;
}

// ---- The print pass

namespace {

enum class Action : std::uint8_t { Fallback, Char, Glyph, Backspace, LineFeed, FormFeed, Return, Ignore };

struct ByteTable {
    Action action[256];
    unsigned char ch[256];
    ByteTable() {
        for (int b = 0; b < 256; ++b) {
            action[b] = Action::Fallback;
            ch[b] = 0;
            if (unsigned char m = MapCp852(static_cast<unsigned char>(b))) {
                action[b] = Action::Char;
                ch[b] = m;
            }
        }
        for (int b = 0xB3; b <= 0xBC; ++b) action[b] = Action::Glyph;
        for (int b = 0xBF; b <= 0xDA; ++b) action[b] = Action::Glyph;
        action[0xFE] = Action::Glyph;
        action[0x04] = Action::Glyph;
        action[0x08] = Action::Backspace;
        action[0x0A] = Action::LineFeed;
        action[0x0C] = Action::FormFeed;
        action[0x0D] = Action::Return;
        action[0x14] = Action::Ignore;
    }
};

const ByteTable& Table() {
    static const ByteTable table;
    return table;
}

// A byte without a meaning: "@" in its cell, and its decimal value at the
// left edge of the line, so that the fault shows on paper where it happened.
void Fallback(PclJobState& s, unsigned char byte) {
    PrintCell(s, '@');
    platform::Canvas& canvas = s.program.sys.printer.canvas();
    platform::Font font;
    font.name = s.FontName;
    font.sizePt = s.FontSize;
    font.bold = s.Bold;
    font.italic = s.Italic;
    const int h = canvas.textHeight(font, "O");
    const std::int16_t y = Wrap16(static_cast<std::int64_t>(s.OffsetY) + s.PenY - h);
    canvas.drawText({0, y}, std::to_string(byte), font);
}

void Unrecognised(PclJobState& s) { s.DocumentTitle = s.CommandEcho; }

void ParseEscape(PclJobState& s) {
    s.CommandEcho = "<Esc>";
    ReadJobByte(s);
    const unsigned char group = s.CurrentByte;
    if (group == 'E') return;
    if (group == '&') {
        ReadJobByte(s);
        const unsigned char kind = s.CurrentByte;
        if (kind != 'a' && kind != 'l') return Unrecognised(s);
        const unsigned char term = ReadParameter(s, "");
        if (kind == 'a') {
            if (term != 'L') return Unrecognised(s);
            s.LeftColumns = RoundToInt32(s.ParamValue);
            return;
        }
        switch (term) {
            case 'C': SetLineHeight(s, s.ParamValue); return;
            case 'E': return;
            case 'O': SetJobOrientation(s, RoundToInt32(s.ParamValue)); return;
            default: return Unrecognised(s);
        }
    }
    if (group == '(') {
        ReadJobByte(s);
        const unsigned char kind = s.CurrentByte;
        if (kind >= '0' && kind <= '9') {
            const unsigned char term = ReadParameter(s, std::string(1, static_cast<char>(kind)));
            if (term != 'U') return Unrecognised(s);
            s.SymbolSet = RoundToInt32(s.ParamValue);
            ShowRenderState(s);
            return;
        }
        if (kind != 's') return Unrecognised(s);
        const unsigned char term = ReadParameter(s, "");
        switch (term) {
            case 'B': s.Bold = s.ParamValue > 0; return;
            case 'H': SelectPitch(s, s.ParamValue); return;
            case 'S': s.Italic = (RoundToInt32(s.ParamValue) & 1) != 0; return;
            case 'T': return;
            default: return Unrecognised(s);
        }
    }
    Unrecognised(s);
}

void Dispatch(PclJobState& s, unsigned char byte) {
    const ByteTable& t = Table();
    switch (t.action[byte]) {
        case Action::Char: PrintCell(s, t.ch[byte]); break;
        case Action::Glyph: DrawGlyph(s, byte); break;
        case Action::Backspace:
            if (s.PenX > 1) s.PenX = Wrap32(static_cast<std::int64_t>(s.PenX) - s.Hmi);
            break;
        case Action::LineFeed: s.PenY = Wrap32(static_cast<std::int64_t>(s.PenY) + s.Vmi); break;
        case Action::FormFeed:
            if (!AtJobEnd(s)) PageBreak(s);
            break;
        case Action::Return:
            s.PenX = Wrap32(static_cast<std::int64_t>(s.Hmi) * s.LeftColumns + 1);
            s.SpaceRun = 0;
            break;
        case Action::Ignore: break;
        case Action::Fallback: Fallback(s, byte); break;
    }
}

}  // namespace

void RenderJobStream(PclJobState& s) {
    while (!AtJobEnd(s) && s.program.state.closeCountdown != 0) {
        ReadJobByte(s);
        s.CommandEcho.clear();
        if (s.CurrentByte == 0xFF) {
            // A hidden section (the job title) up to the next 0xFF prints nothing.
            do {
                ReadJobByte(s);
            } while (s.CurrentByte != 0xFF && !AtJobEnd(s));
            ReadJobByte(s);
        }
        if (s.CurrentByte == 0x1B) {
            ParseEscape(s);
        } else {
            Dispatch(s, s.CurrentByte);
        }
    }
}

}  // namespace vel::pcl
