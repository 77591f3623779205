#pragma once
// The system's own words for a failure code, for the messages the user sees.

#include <windows.h>

#include <string>

namespace vel::platform {

// The system's text for `code` in the desktop's language, code page 1250,
// without the closing full stop; empty when the system has none.
std::string SystemErrorWords(DWORD code);

}  // namespace vel::platform
