#pragma once
// The stage trace "Vel.err" in the current directory: rewritten at the start of
// each traced operation, then appended to a little at a time so that a crash
// in a printer driver leaves the last stage reached on disk. Raises IoError.

#include <cstdint>
#include <string_view>

namespace vel {

void TraceReset();
void TraceStage(std::int16_t stage);
void TraceNote(std::string_view text, std::int16_t value);

}  // namespace vel
