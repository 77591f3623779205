#pragma once
// Text inside the program is single-byte code page 1250; these convert where
// it meets Unicode (the window system, the clipboard, the canvas).

#include <string>
#include <string_view>

namespace vel {

std::string Cp1250ToUtf8(std::string_view text);
// Characters without a code page 1250 byte become '?'.
std::string Utf8ToCp1250(std::string_view text);
char32_t Cp1250ToUnicode(unsigned char byte);

}  // namespace vel
