#pragma once
// The status line of a program without a window (`vel-job`).

#include "platform/status_line.h"

#include <ostream>
#include <string>

namespace vel::platform {

// Each status text becomes a line on `out` (UTF-8). A text fits when it is
// shorter than 60 characters.
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
