#include "support/fake_platform.h"

#include "common/io.h"

#include <charconv>
#include <cstdio>

namespace vel::platform {

int FakeCanvas::textHeight(const Font& font, std::string_view) { return font.sizePt * dpi_ / 72; }

int FakeCanvas::textWidth(const Font& font, std::string_view text) {
    return static_cast<int>(text.size()) * (font.sizePt * dpi_ * 6 / 720);
}

void FakeCanvas::record(CanvasOp op) {
    if (page_) page_->ops.push_back(std::move(op));
}

void FakeCanvas::drawText(Point at, std::string_view text, const Font& font) {
    CanvasOp op;
    op.kind = CanvasOp::Text;
    op.points = {at};
    op.text = std::string(text);
    op.font = font;
    record(std::move(op));
}

void FakeCanvas::drawLine(Point from, Point to, const Pen& pen) {
    CanvasOp op;
    op.kind = CanvasOp::Line;
    op.points = {from, to};
    op.pen = pen;
    record(std::move(op));
}

void FakeCanvas::drawPolyline(const std::vector<Point>& points, const Pen& pen) {
    CanvasOp op;
    op.kind = CanvasOp::Polyline;
    op.points = points;
    op.pen = pen;
    record(std::move(op));
}

void FakeCanvas::drawPolygon(const std::vector<Point>& points, Color fill, const Pen& pen) {
    CanvasOp op;
    op.kind = CanvasOp::Polygon;
    op.points = points;
    op.fill = fill;
    op.pen = pen;
    record(std::move(op));
}

void FakeCanvas::fillRect(Point topLeft, Point bottomRight, Color fill) {
    CanvasOp op;
    op.kind = CanvasOp::Rect;
    op.points = {topLeft, bottomRight};
    op.fill = fill;
    record(std::move(op));
}

FakePrinter::FakePrinter() : FakePrinter({{kPdfPrinterName}}, kPdfPrinterName) {}

FakePrinter::FakePrinter(std::vector<FakePrinterInfo> printers, std::string defaultName)
    : printers_(std::move(printers)), default_(std::move(defaultName)) {
    for (std::size_t i = 0; i < printers_.size(); ++i) {
        if (printers_[i].name == default_) current_ = static_cast<int>(i);
    }
    canvas_.setDpi(current().dpi);
}

const FakePrinterInfo& FakePrinter::current() const { return printers_.at(current_); }

std::vector<std::string> FakePrinter::printerNames() {
    std::vector<std::string> names;
    for (const auto& p : printers_) names.push_back(p.name);
    return names;
}

bool FakePrinter::setCurrent(const std::string& name) {
    for (std::size_t i = 0; i < printers_.size(); ++i) {
        if (printers_[i].name == name) {
            current_ = static_cast<int>(i);
            canvas_.setDpi(current().dpi);
            return true;
        }
    }
    return false;
}

std::string FakePrinter::currentName() { return printers_.empty() ? std::string() : current().name; }

int FakePrinter::pageWidth() {
    return orientation_ == Orientation::Portrait ? current().pageWidth : current().pageHeight;
}

int FakePrinter::pageHeight() {
    return orientation_ == Orientation::Portrait ? current().pageHeight : current().pageWidth;
}

void FakePrinter::maybeFail(const char* what) {
    if (failNextCall) {
        failNextCall = false;
        throw IoError(currentName(), what);
    }
}

void FakePrinter::beginDoc(const std::string& title) {
    maybeFail("cannot begin document");
    FakeDocument doc;
    doc.title = title;
    doc.printer = currentName();
    doc.pages.emplace_back();
    doc.orientations.push_back(orientation_);
    documents.push_back(std::move(doc));
    printing_ = true;
    canvas_.setPage(&documents.back().pages.back());
}

void FakePrinter::newPage() {
    maybeFail("cannot start a page");
    auto& doc = documents.back();
    doc.pages.emplace_back();
    doc.orientations.push_back(orientation_);
    canvas_.setPage(&doc.pages.back());
}

void FakePrinter::endDoc() {
    maybeFail("cannot end document");
    documents.back().ended = true;
    printing_ = false;
    canvas_.setPage(nullptr);
}

void FakePrinter::abortDoc() {
    if (!documents.empty()) documents.back().aborted = true;
    printing_ = false;
    canvas_.setPage(nullptr);
}

int FakeShell::open(const std::string& target, const std::string& parameters, const std::string& directory,
                    ShowMode) {
    opened.push_back({target, parameters, directory});
    if (onStart) onStart(target, parameters);
    return result;
}

int FakeShell::run(const std::string& commandLine) {
    ran.push_back(commandLine);
    if (onStart) onStart(commandLine, "");
    return result;
}

std::string FakeClock::longTimeText() {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", now_.hour, now_.minute, now_.second);
    return buf;
}

void FakeClock::sleepMs(int milliseconds) {
    sleptMs += milliseconds;
    steady_ += milliseconds;
}

namespace {
int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}
}  // namespace

void FakeClock::advanceSeconds(int seconds) {
    steady_ += 1000LL * seconds;
    long total = now_.hour * 3600L + now_.minute * 60L + now_.second + seconds;
    while (total >= 86400) {
        total -= 86400;
        now_.weekday = (now_.weekday + 1) % 7;
        if (++now_.day > DaysInMonth(now_.year, now_.month)) {
            now_.day = 1;
            if (++now_.month > 12) {
                now_.month = 1;
                ++now_.year;
            }
        }
    }
    now_.hour = static_cast<int>(total / 3600);
    now_.minute = static_cast<int>(total / 60 % 60);
    now_.second = static_cast<int>(total % 60);
}

namespace {
class FakeWorkbook : public Workbook {
public:
    FakeWorkbook(FakeSpreadsheet& owner, FakeSpreadsheet::Cells& cells) : owner_(owner), cells_(cells) {}
    std::string cellText(int row, int column) override {
        auto it = cells_.find({row, column});
        return it == cells_.end() ? std::string() : it->second;
    }
    void setCellNumber(int row, int column, double value) override {
        char buf[64];  // as "%.10g" writes it, but with '.' under any locale
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 10);
        cells_[{row, column}] = std::string(buf, ec == std::errc() ? end : buf);
    }
    void setCellText(int row, int column, const std::string& text) override { cells_[{row, column}] = text; }
    void finish() override { owner_.finished = true; }

private:
    FakeSpreadsheet& owner_;
    FakeSpreadsheet::Cells& cells_;
};
}  // namespace

std::unique_ptr<Workbook> FakeSpreadsheet::open(const std::string& path) {
    ++opens;
    auto it = workbooks.find(path);
    if (it == workbooks.end()) throw IoError(path, "cannot open workbook");
    return std::make_unique<FakeWorkbook>(*this, it->second);
}

}  // namespace vel::platform
