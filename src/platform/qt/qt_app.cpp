#include "platform/qt/qt_app.h"

#include "common/codepage.h"

#include <QByteArray>
#include <QtGlobal>

namespace vel::platform {

bool NoDisplay() { return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"); }

void UseOffscreenPlatform() { qputenv("QT_QPA_PLATFORM", QByteArray("offscreen")); }

void StreamStatusLine::setText(const std::string& text) {
    text_ = text;
    out_ << Cp1250ToUtf8(text) << std::endl;
}

}  // namespace vel::platform
