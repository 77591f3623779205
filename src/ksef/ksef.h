#pragma once

#include <string>

namespace vel {
class Program;
}

namespace vel::ksef {

// True for a text of the KSeF number shape: 35 characters, '-' 11th and 20th.
bool HasKsefShape(const std::string& text);

// A KSeF number taken from the clipboard: kept in "KSeF.txt" and shown.
void CaptureKsefNumber(Program& program, const std::string& number);
// Closes the KSeF window when "KSeF.txt" is gone.
void CheckKsefFile(Program& program);

}  // namespace vel::ksef
