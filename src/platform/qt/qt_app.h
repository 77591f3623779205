#pragma once
// Start-up pieces shared by `vel` and `vel-job`.

#include "platform/spreadsheet.h"
#include "platform/status_line.h"

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

// The status line of a program without a window: each status text becomes a
// line on `out` (UTF-8). A text fits when it is shorter than 60 characters.
class StreamStatusLine final : public StatusLine {
public:
    explicit StreamStatusLine(std::ostream& out) : out_(out) {}
    std::string text() override { return text_; }
    void setText(const std::string& text) override;
    bool fits(const std::string& text) override { return text.size() < 60; }
    void setHint(const std::string&) override {}

private:
    std::ostream& out_;
    std::string text_;
};

}  // namespace vel::platform
