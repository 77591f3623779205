#pragma once
// The PCL renderer: the byte reader and escape-sequence parser, the page
// model (cell grid, pen, font, margins) and the line-drawn glyphs. All of it
// works on one PclJobState and draws on the current printer's canvas.

#include "pcl/pcl_state.h"

#include <cstdint>
#include <string>

namespace vel::pcl {

// The program's integer arithmetic wraps around like the machine's; these
// make that explicit (and defined) where a hostile job can push values far.
inline std::int32_t Wrap32(std::int64_t v) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(v)));
}
// Canvas coordinates are 16-bit signed quantities.
inline std::int16_t Wrap16(std::int64_t v) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint64_t>(v)));
}

// ---- Reading the job stream.
inline bool AtJobEnd(const PclJobState& s) { return s.BytesLeft <= 0; }
// Next byte into CurrentByte; past the end a space, never a failure.
inline void ReadJobByteQuietly(PclJobState& s) {
    s.CurrentByte = 0x20;
    if (s.BytesLeft > 0) {
        s.CurrentByte = s.input.next();
        --s.BytesLeft;
    }
}
// ReadJobByteQuietly, and the byte goes to CommandEcho. The echo only ever
// names a short escape sequence; a parameter of a million digits must not
// make it (and the document title) a megabyte long, hence the cap.
inline constexpr std::size_t kEchoLimit = 256;
inline void ReadJobByte(PclJobState& s) {
    ReadJobByteQuietly(s);
    if (s.CommandEcho.size() < kEchoLimit) s.CommandEcho += static_cast<char>(s.CurrentByte);
}
// Next line into JobLine, without its CR LF and trailing spaces.
void ReadJobLine(PclJobState& s);
// Number text up to the next ASCII letter into ParamValue; returns the
// terminator (also left in CurrentByte).
std::uint8_t ReadParameter(PclJobState& s, const std::string& prefix);
// Value of a number text as an escape parameter: 0 unless the whole text
// (after leading spaces) is an optionally signed decimal number.
double ParseParameterText(const std::string& text);
// Nearest integer, ties to even, held within the int32 range.
std::int32_t RoundToInt32(double v);
// The print-pass loop: until the end of the stream or a close countdown at 0.
void RenderJobStream(PclJobState& s);

// ---- Page model.
void LoadPageSettings(PclJobState& s);
// Cell and line from the measured device page, before the pre-scan.
void InitPageState(PclJobState& s);
void ComputePageGeometry(PclJobState& s);
void StartPage(PclJobState& s);
// One code page 1250 character in the current cell; the pen moves one cell.
void PrintCell(PclJobState& s, unsigned char ch);
void SelectPitch(PclJobState& s, double pitch);
void SetLineHeight(PclJobState& s, double lines);
void ShowRenderState(PclJobState& s);
// The code page 1250 character that a code page 852 byte prints, or 0 when
// the byte is not a printable character of the map.
unsigned char MapCp852(unsigned char byte);

// ---- Line-drawn glyphs.
// Draws the glyph of a box-drawing or mark byte and advances one cell; false
// (and nothing drawn) when the byte has no glyph.
bool DrawGlyph(PclJobState& s, unsigned char byte);
void DrawPageMark(PclJobState& s);

// ---- Printer document steps that the stream triggers (job driver).
void PageBreak(PclJobState& s);
// ESC & l # O: 0 portrait, anything else landscape; a change restarts the
// document.
void SetJobOrientation(PclJobState& s, std::int32_t value);

}  // namespace vel::pcl
