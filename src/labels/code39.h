#pragma once
// Code 39 as the stickers print it: start character, the text, stop
// character, one narrow space between characters, no check character.

#include <array>
#include <string>
#include <string_view>

namespace vel::platform {
class Canvas;
}

namespace vel::labels {

struct Code39Entry {
    char ch;
    // Nine elements, bars and spaces alternating from a bar: 5 narrow bar,
    // 6 wide bar, 0 narrow space, 1 wide space.
    const char* elements;
    int check;  // the character's value in the modulo 43 check sum
};

inline constexpr int kCode39Count = 44;
const std::array<Code39Entry, kCode39Count>& Code39Table();

// Index of the upper-cased character in the table, or -1.
int Code39Index(char ch);

// One character a module: '|' a bar module, '.' a space module. A wide
// element is two modules. Characters outside the table encode as a space.
std::string Code39Modules(std::string_view text);

// Fills the rectangle from (x1, top) up to (x2, bottom) black when the module
// is a bar; a space module leaves the paper white.
void DrawModule(platform::Canvas& canvas, int x1, int x2, int top, char module, int bottom);

}  // namespace vel::labels
