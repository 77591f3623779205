#pragma once
// The KSeF number window `NrKS`: an e-invoice number copied to the clipboard
// is kept in "KSeF.txt" for a sibling program and shown, spaced for reading,
// until the sibling program takes the file or the user clicks the window.

#include <functional>
#include <string>
#include <string_view>

namespace vel {
class Program;
}

namespace vel::ksef {

inline constexpr std::string_view kKsefFile = "KSeF.txt";
// Window caption, never seen (the window has no border):
// "   NrKSeF   ( NIP - data - cośtam - xx )"
inline constexpr std::string_view kKsefCaption = "   NrKSeF   ( NIP - data - co\x9c" "tam - xx )";
inline constexpr int kKsefDesignWidth = 290;
inline constexpr int kKsefDesignHeight = 90;
inline constexpr int kKsefShownWidth = 470;  // client area after a capture
inline constexpr int kKsefShownHeight = 35;
inline constexpr int kKsefFontPixels = 17;  // Comic Sans MS, bold

// The pixel size of the panel's font for `text`: 17 when the text fits the
// panel's inner width (a small margin kept), else the largest smaller size
// down to 8 at which it fits, for a stand-in font wider than Comic Sans MS.
// `textWidth` measures the text at a pixel size.
int KsefFontPixels(int innerWidth, const std::function<int(int pixels)>& textWidth);

// True for a text of the KSeF number shape: 35 characters, '-' 11th and 20th.
bool HasKsefShape(const std::string& text);

// Whether a KSeF number's last two characters are the CRC-8 (polynomial 0x07,
// initial 0, no reflection, no final xor) of its first 32, in upper-case hex.
// The 36-character form, with a hyphen inside the twelve characters of the
// technical part, is read without that hyphen. Any other length fails.
bool KsefChecksumOk(std::string_view number);

// The number spaced for reading: a space inserted at each of the positions
// 4, 8, 11, 14, 16, 21, 24, 27, 29, 34, 39, 44, 46 in turn (the space becomes
// that character of the growing text); a position past the end adds nothing.
std::string KsefDisplayText(std::string_view number);

// The capture: moves the window to the top left corner, writes `text` into
// "KSeF.txt" as it is, without a line end, shows it spaced on the panel and
// shows the window at 470 x 35. Raises IoError when the file cannot be
// written; the window is then not shown. A text of the KSeF number shape
// whose checksum fails is refused: no file, no window, and "Błędny numer KSeF
// w schowku" on the status line.
void CaptureKsefText(Program& program, const std::string& text);

// `OnA`, the window's activation handler: the capture of the clipboard's
// current text, whatever it holds.
void OnA(Program& program);
// `OnC`, a click on the panel: hides the window.
void OnC(Program& program);
// `Test`: hides the window when there is no directory entry "KSeF.txt" in the
// current directory (the sibling program has taken the number).
void Test(Program& program);

// The dispatcher's calls: a KSeF-shaped clipboard text it has just read, and
// the file check of every tick.
void CaptureKsefNumber(Program& program, const std::string& number);
void CheckKsefFile(Program& program);

// Gives the program's KSeF window (if any) its handlers `OnA` and `OnC`.
void ConnectKsefWindow(Program& program);

}  // namespace vel::ksef
