#include "shell/qt/qt_app.h"

#include "common/codepage.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>

namespace vel::platform {

bool NoDisplay() { return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"); }

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Without a display there is nothing to raise, resize or keep files for at
// run time; Qt says so on every call, which would only bury real messages.
void QuietOffscreenNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg &&
        (message.startsWith("This plugin does not support") || message.startsWith("QStandardPaths: XDG_RUNTIME_DIR")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

}  // namespace

void QuietQtNotes() {
    static const bool installed = [] {
        g_previousHandler = qInstallMessageHandler(QuietOffscreenNotes);
        return true;
    }();
    (void)installed;
}

void AllowOffscreenFallback() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return;
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", QByteArray("wayland;xcb;offscreen"));
    else
        qputenv("QT_QPA_PLATFORM", QByteArray("xcb;offscreen"));
    QuietQtNotes();
}

void UseOffscreenPlatform() {
    qputenv("QT_QPA_PLATFORM", QByteArray("offscreen"));
    QuietQtNotes();
}

}  // namespace vel::platform
