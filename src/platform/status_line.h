#pragma once

#include <string>

namespace vel::platform {

// The status label `Inf` on the main window's top panel, and the window's
// hint (the tooltip over the clock).
class StatusLine {
public:
    virtual ~StatusLine() = default;
    virtual std::string text() = 0;
    virtual void setText(const std::string& text) = 0;
    // True when `text` in the label's font leaves the label's right edge
    // (its left plus its auto-sized width) short of the panel width minus 5.
    virtual bool fits(const std::string& text) = 0;
    virtual void setHint(const std::string& text) = 0;
};

}  // namespace vel::platform
