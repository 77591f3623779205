#pragma once
// Start-up pieces shared by `vel` and `vel-job`.

#include "app/stream_status_line.h"
#include "platform/spreadsheet.h"

#include <ostream>
#include <string>

namespace vel::platform {

// True when neither DISPLAY nor WAYLAND_DISPLAY names a display.
bool NoDisplay();
// Makes the next QApplication run on Qt's offscreen platform, and keeps that
// platform's notes on what it cannot do (raise a window, ...) off stderr.
void UseOffscreenPlatform();
// With a display named: when no platform is chosen, the display's platform
// is tried first and the offscreen one after it.
void AllowOffscreenFallback();
// Keeps Qt's notes about what a platform cannot do, and about the missing
// XDG_RUNTIME_DIR, off stderr.
void QuietQtNotes();

}  // namespace vel::platform
