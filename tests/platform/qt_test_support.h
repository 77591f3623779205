#pragma once
// Shared pieces of the platform tests: one offscreen Qt application for the
// test process, running outside programs, reading PDF files.

#include "shell/qt/qt_app.h"
#include "shell/qt/qt_printer.h"

#include <QApplication>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vel::test {

// The Qt application of the test process, on the offscreen platform.
inline QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "test_platform";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        vel::platform::UseOffscreenPlatform();
        auto* qapp = new QApplication(argc, argv);
        vel::platform::InstallFontSubstitutes();
        return qapp;
    }();
    return *app;
}

// Standard output of a shell command.
inline std::string Capture(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    std::array<char, 4096> buffer{};
    size_t n;
    while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) out.append(buffer.data(), n);
    pclose(pipe);
    return out;
}

inline std::string Quote(const std::string& path) {
    std::string q = "'";
    for (char c : path) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Page count from pdfinfo, -1 when the file is no PDF.
inline int PdfPages(const std::string& path) {
    const std::string info = Capture("pdfinfo " + Quote(path) + " 2>/dev/null");
    const auto at = info.find("Pages:");
    if (at == std::string::npos) return -1;
    return std::atoi(info.c_str() + at + 6);
}

inline std::string PdfText(const std::string& path) {
    return Capture("pdftotext -layout " + Quote(path) + " - 2>/dev/null");
}

}  // namespace vel::test
