#include "app/stream_status_line.h"

#include "common/codepage.h"

namespace vel::platform {

void StreamStatusLine::setText(const std::string& text) {
    text_ = text;
    out_ << Cp1250ToUtf8(text) << std::endl;
}

}  // namespace vel::platform
