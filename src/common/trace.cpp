#include "common/trace.h"

#include "common/io.h"

#include <string>

namespace vel {

namespace {

constexpr const char* kTraceFile = "Vel.err";
std::uint16_t g_lineLength = 0;

}  // namespace

void TraceReset() {
    WriteFile(kTraceFile, "");
    g_lineLength = 0;
}

void TraceStage(std::int16_t stage) {
    std::string text;
    switch (stage) {
        case -1: text = " -1. Nowa lista drukarek:"; break;
        case -2: text = " -2. Inna drukarka:"; break;
        case -3: text = " -3. Wydruk PCL:"; break;
        default:
            if (stage < 0) {
                text = " inna funkcja:";
            } else if (stage >= 1 && stage <= 8) {
                text = " etap " + std::to_string(stage) + ",";
            } else {
                text = " koniec.\r\n";
            }
    }
    AppendFile(kTraceFile, text);
    g_lineLength = 50;
}

void TraceNote(std::string_view note, std::int16_t value) {
    std::string text = " " + std::string(note);
    g_lineLength = static_cast<std::uint16_t>(g_lineLength + note.size() + 5);
    if (value > 0) {
        text += " " + std::to_string(value) + ",";
    } else if (value == -1) {
        text += " czekam.\r\n";
        g_lineLength = 0;
    }
    if (g_lineLength > 80) {
        text += "\r\n";
        g_lineLength = 0;
    }
    AppendFile(kTraceFile, text);
}

}  // namespace vel
