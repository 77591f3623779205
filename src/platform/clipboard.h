#pragma once

#include <string>

namespace vel::platform {

// The system clipboard as code page 1250 text.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual std::string text() = 0;  // empty when it holds no text
    virtual void setText(const std::string& text) = 0;
};

}  // namespace vel::platform
