#pragma once
// In-memory stand-ins for the operating system's services. They record what
// the program asked of them so tests can look, and answer with fixed metrics:
// a character of a font is 0.6 of its height wide, its height is the point
// size at the printer's resolution.

#include "platform/canvas.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/printer.h"
#include "platform/shell.h"
#include "platform/spreadsheet.h"
#include "platform/status_line.h"

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vel::platform {

// One recorded canvas call.
struct CanvasOp {
    enum Kind { Text, Line, Polyline, Polygon, Rect } kind = Text;
    std::vector<Point> points;  // Text: top left; Line: from, to; Rect: corners
    std::string text;
    Font font;
    Pen pen;
    Color fill = kWhite;
};

struct FakePage {
    std::vector<CanvasOp> ops;
};

struct FakeDocument {
    std::string title;
    std::string printer;
    std::vector<FakePage> pages;
    std::vector<Orientation> orientations;  // per page
    bool ended = false;
    bool aborted = false;
};

class FakeCanvas : public Canvas {
public:
    explicit FakeCanvas(int dpi) : dpi_(dpi) {}
    void setDpi(int dpi) { dpi_ = dpi; }
    void setPage(FakePage* page) { page_ = page; }

    int textWidth(const Font& font, std::string_view text) override;
    int textHeight(const Font& font, std::string_view text) override;
    void drawText(Point at, std::string_view text, const Font& font) override;
    void drawLine(Point from, Point to, const Pen& pen) override;
    void drawPolyline(const std::vector<Point>& points, const Pen& pen) override;
    void drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) override;
    void fillRect(Point topLeft, Point bottomRight, Color fill) override;

private:
    void record(CanvasOp op);
    int dpi_;
    FakePage* page_ = nullptr;
};

struct FakePrinterInfo {
    std::string name;
    int dpi = 600;
    int pageWidth = 4960;   // portrait printable width, pixels
    int pageHeight = 7014;  // portrait printable height, pixels
};

class FakePrinter : public Printer {
public:
    FakePrinter();
    explicit FakePrinter(std::vector<FakePrinterInfo> printers, std::string defaultName = {});

    std::vector<std::string> printerNames() override;
    std::string defaultPrinterName() override { return default_; }
    bool setCurrent(const std::string& name) override;
    std::string currentName() override;
    void setOrientation(Orientation orientation) override { orientation_ = orientation; }
    Orientation orientation() override { return orientation_; }
    int pageWidth() override;
    int pageHeight() override;
    void beginDoc(const std::string& title) override;
    void newPage() override;
    void endDoc() override;
    void abortDoc() override;
    bool printing() override { return printing_; }
    Canvas& canvas() override { return canvas_; }
    void setPdfOutputFile(const std::string& path) override { pdfOutputFile = path; }
    std::string pdfOutputFile;

    std::vector<FakeDocument> documents;  // every document begun, in order
    // Set to make the next document call throw IoError.
    bool failNextCall = false;

private:
    const FakePrinterInfo& current() const;
    void maybeFail(const char* what);
    std::vector<FakePrinterInfo> printers_;
    std::string default_;
    int current_ = 0;
    Orientation orientation_ = Orientation::Portrait;
    bool printing_ = false;
    FakeCanvas canvas_{600};
};

class FakeClipboard : public Clipboard {
public:
    std::string text() override { return text_; }
    void setText(const std::string& text) override { text_ = text; }

private:
    std::string text_;
};

class FakeShell : public Shell {
public:
    struct Call {
        std::string target;
        std::string parameters;
        std::string directory;
    };
    int open(const std::string& target, const std::string& parameters, const std::string& directory,
             ShowMode mode) override;
    int run(const std::string& commandLine) override;

    std::vector<Call> opened;
    std::vector<std::string> ran;
    int result = 42;  // what every call answers
    // Called on each open/run, e.g. to play the started program's part.
    std::function<void(const std::string& target, const std::string& parameters)> onStart;
};

class FakeClock : public Clock {
public:
    DateTime now() override { return now_; }
    std::string longTimeText() override;
    void sleepMs(int milliseconds) override;
    std::int64_t steadyMs() override { return steady_; }

    void set(const DateTime& t) { now_ = t; }
    // Moves the clock on by whole seconds, carrying into minutes, hours and days.
    void advanceSeconds(int seconds);
    std::int64_t sleptMs = 0;

private:
    DateTime now_{2026, 12, 8, 10, 30, 0, 0, 2};
    std::int64_t steady_ = 0;
};

class FakeEventPump : public EventPump {
public:
    void processPending() override {
        ++calls;
        if (onPending) onPending();
    }
    int calls = 0;
    std::function<void()> onPending;
};

class FakeStatusLine : public StatusLine {
public:
    std::string text() override { return text_; }
    void setText(const std::string& text) override {
        text_ = text;
        history.push_back(text);
    }
    // Label at left 22, 7 pixels a character, on a 290-pixel panel.
    bool fits(const std::string& text) override { return 22 + 7 * static_cast<int>(text.size()) < 290 - 5; }
    void setHint(const std::string& text) override { hint = text; }
    std::vector<std::string> history;
    std::string hint;

private:
    std::string text_;
};

class FakeSpreadsheet : public Spreadsheet {
public:
    using Cells = std::map<std::pair<int, int>, std::string>;
    bool available() override { return installed; }
    std::unique_ptr<Workbook> open(const std::string& path) override;

    bool installed = true;
    std::map<std::string, Cells> workbooks;  // by path
    int opens = 0;
    bool finished = false;
};

}  // namespace vel::platform
