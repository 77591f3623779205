#include "shell/qt/qt_services.h"

#include "common/codepage.h"
#include "common/io.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QProcess>
#include <QThread>
#include <QUrl>

namespace vel::platform {
namespace {

QString ToQt(const std::string& cp1250) { return QString::fromStdString(Cp1250ToUtf8(cp1250)); }

bool IsWebAddress(const std::string& target) {
    const auto colon = target.find("://");
    if (colon != std::string::npos && colon > 1) return true;
    return target.rfind("mailto:", 0) == 0 || target.rfind("www.", 0) == 0;
}

// The window system's code for a file that cannot be opened.
int MissingFileCode(const QFileInfo& file) {
    return QFileInfo(file.absolutePath()).isDir() ? kShellFileNotFound : kShellPathNotFound;
}

int StartDetached(const QString& program, const QStringList& args, const QString& directory) {
    QFileInfo exe(program);
    if (program.contains('/')) {
        if (!exe.exists()) return MissingFileCode(exe);
        if (!exe.isExecutable()) return kShellAccessDenied;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(args);
    if (!directory.isEmpty()) process.setWorkingDirectory(directory);
    if (process.startDetached()) return kShellOk;
    if (!program.contains('/')) return kShellFileNotFound;
    return kShellBadExe;
}

// The desktop's handler for an address or a file; xdg-open when the platform
// has none of its own (no display, a bare X server).
int OpenWithDesktop(const QUrl& url) {
    if (QDesktopServices::openUrl(url)) return kShellOk;
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString();
    return QProcess::startDetached("xdg-open", {target}) ? kShellOk : kShellFileNotFound;
}

}  // namespace

std::string QtClipboard::text() {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return {};
    return Utf8ToCp1250(QGuiApplication::clipboard()->text().toStdString());
}

void QtClipboard::setText(const std::string& text) {
    auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (!app) return;
    QGuiApplication::clipboard()->setText(ToQt(text));
}

int QtShell::open(const std::string& target, const std::string& parameters, const std::string& directory,
                  ShowMode mode) {
    if (target.empty()) return kShellFileNotFound;
    if (IsWebAddress(target)) {
        const QString url = ToQt(target.rfind("www.", 0) == 0 ? "http://" + target : target);
        return OpenWithDesktop(QUrl(url));
    }
    QString path = QString::fromStdString(NativePath(Cp1250ToUtf8(target)).string());
    const QString dir = directory.empty() ? QString() : QString::fromStdString(NativePath(Cp1250ToUtf8(directory)).string());
    if (!dir.isEmpty() && QFileInfo(path).isRelative()) path = QDir(dir).filePath(path);
    const QFileInfo file(path);
    if (!file.exists()) return MissingFileCode(file);
    if (!file.isReadable()) return kShellAccessDenied;
    // A program is started with its parameters; any other file goes to the
    // program the desktop associates with it.
    if (file.isFile() && file.isExecutable())
        return StartDetached(file.absoluteFilePath(), QProcess::splitCommand(ToQt(parameters)), dir);
    return OpenWithDesktop(QUrl::fromLocalFile(file.absoluteFilePath()));
}

int QtShell::run(const std::string& commandLine) {
    QStringList parts = QProcess::splitCommand(ToQt(commandLine));
    if (parts.isEmpty()) return kShellFileNotFound;
    QString program = parts.takeFirst();
    if (program.contains('\\')) program = QString::fromStdString(NativePath(program.toStdString()).string());
    // A bare name that exists in the current directory is that file, as the
    // window system would take it.
    if (!program.contains('/') && QFileInfo(program).isFile()) program = QFileInfo(program).absoluteFilePath();
    return StartDetached(program, parts, QDir::currentPath());
}

DateTime QtClock::now() {
    const QDateTime t = QDateTime::currentDateTime();
    DateTime d;
    d.year = t.date().year();
    d.month = t.date().month();
    d.day = t.date().day();
    d.hour = t.time().hour();
    d.minute = t.time().minute();
    d.second = t.time().second();
    d.millisecond = t.time().msec();
    d.weekday = t.date().dayOfWeek() % 7;  // Qt counts Monday 1 .. Sunday 7
    return d;
}

std::string QtClock::longTimeText() {
    const QTime t = QTime::currentTime();
    if (!qEnvironmentVariableIsEmpty("VEL_LOCALE_TIME")) {
        // The locale's long time format without its time zone part.
        QString format = QLocale::system().timeFormat(QLocale::LongFormat);
        format.remove('t');
        return Utf8ToCp1250(t.toString(format.trimmed()).toStdString());
    }
    return t.toString("H:mm:ss").toStdString();
}

void QtClock::sleepMs(int milliseconds) {
    if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

std::int64_t QtClock::steadyMs() {
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

void QtEventPump::processPending() {
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace vel::platform
