#pragma once

#include <string_view>

namespace vel {

class Program;

inline constexpr std::string_view kMakerLine = " Mirva-Soft Lenno ";
inline constexpr std::string_view kVersionTag = "Vel.8.61";

// The one way to tell the user anything: the message goes to the status line,
// cut at its end until it fits, stays for 14 ticks, and pending window
// messages run before this returns (a nested tick may run inside).
void ShowStatus(Program& program, std::string_view message);

}  // namespace vel
