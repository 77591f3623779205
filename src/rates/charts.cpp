#include "rates/charts.h"

#include "common/format.h"
#include "common/io.h"
#include "common/program.h"
#include "platform/clock.h"
#include "platform/events.h"
#include "platform/spreadsheet.h"
#include "rates/rates.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>

namespace vel::rates {

namespace {

constexpr const char* kSelectionFile = "Wal.{-}";
constexpr const char* kWorkbookFile = "Magazyn.xls";
constexpr const char* kDefaultEntry = "EUR euro";
constexpr const char* kNoTable = "Nie ma tabeli";
constexpr const char* kCaptionPrefix = "Wykresy kurs\xf3w:  ";                        // "Wykresy kursów:  "
constexpr const char* kNoSpreadsheet = "Nie ma \xbf" "adnego Excela w systemie";      // "Nie ma żadnego Excela w systemie"
constexpr std::size_t kCaptionMax = 35;
constexpr std::size_t kFixedPartLength = 46;  // a rate line without its block-end suffix
constexpr int kLastWorkbookRow = 255;

// The lines of a text file without their line ends; nullopt when it cannot be read.
std::optional<std::vector<std::string>> ReadLines(const std::string& name) {
    auto bytes = TryReadFile(name);
    if (!bytes) return std::nullopt;
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes->size()) {
        std::size_t end = bytes->find('\n', start);
        if (end == std::string::npos) end = bytes->size();
        std::string line = bytes->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

// The whole text as a number with "." as the decimal point; nullopt otherwise.
// Independent of the process locale, which the window system may have set.
std::optional<double> ParseNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string Field(const std::string& line, std::size_t from, std::size_t length) {
    return from < line.size() ? line.substr(from, length) : std::string();
}

bool BeginsWith(const std::string& line, const std::string& code) {
    return line.compare(0, code.size(), code) == 0;
}

ChartView* View(Program& program) { return program.sys.chartView; }

}  // namespace

std::string CurrentRateFileName(Program& program) { return "Kurs" + CurrentYear(program); }

int RateLineDay(const std::string& line) {
    auto value = ParseNumber(Field(line, 5, 5));
    if (!value || *value != std::floor(*value)) return 0;
    return static_cast<int>(*value);
}

double RateLineRate(const std::string& line) { return ParseNumber(Field(line, 24, 6)).value_or(0); }

RateChart ComputeRateChart(const std::vector<std::string>& rateLines, const std::string& code) {
    RateChart chart;
    bool first = true;
    for (const std::string& line : rateLines) {
        if (!BeginsWith(line, code)) continue;
        const double rate = RateLineRate(line);
        chart.latest = rate;
        // The lowest rate starts from the first rate, not from the starting 10:
        // a currency that never falls below 10 would otherwise show Min 10.
        chart.lowest = first ? rate : std::min(rate, chart.lowest);
        chart.highest = std::max(rate, chart.highest);
        first = false;
    }
    if (chart.lowest == chart.highest) chart.lowest = 0.999 * chart.highest;

    const double range = chart.highest - chart.lowest;
    bool firstBar = true;
    for (const std::string& line : rateLines) {
        if (!BeginsWith(line, code)) continue;
        const int day = RateLineDay(line);
        const double rate = RateLineRate(line);
        if (firstBar) chart.firstDay = day;
        firstBar = false;
        chart.lastDay = day;
        // All rates 0 leave no range: the bars stay at the bottom line.
        const int top = range != 0 ? static_cast<int>(RoundHalfEven((chart.highest - rate) * 36 / range)) : 100;
        chart.bars.push_back({day - chart.firstDay + 2, top});
    }
    return chart;
}

std::string GeneralNumber(double value) {
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string text(buf, ec == std::errc() ? end : buf);
    // "1e+20" as the program writes exponents elsewhere: "1E+20".
    for (char& c : text) {
        if (c == 'e') c = 'E';
    }
    return text;
}

std::string SpreadText(const RateChart& chart) {
    const double spread = (chart.highest - chart.lowest) * 100 / chart.highest;
    // One significant digit: "d.e+XX", the rounding done by to_chars.
    char buf[64];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, spread, std::chars_format::scientific, 0);
    if (ec != std::errc()) return "?%";
    const std::string sci(buf, end);  // "3e+00"
    const std::size_t e = sci.find('e');
    const int digit = sci[0] - '0';
    const int exponent = std::atoi(sci.c_str() + e + 1);
    std::string text;
    if (spread < 0 || digit < 0 || digit > 9) {
        text = GeneralNumber(spread);
    } else if (exponent >= 1) {
        // Ten percent or more no longer fits one digit before the point: the
        // exponent form, as fixed notation with one digit of precision gives it.
        text = std::string(1, sci[0]) + "E" + (exponent < 10 ? "+0" : "+") + std::to_string(exponent);
    } else if (exponent == 0) {
        text = std::string(1, sci[0]) + ".0";
    } else if (exponent == -1) {
        text = std::string("0.") + sci[0];
    } else {
        text = "0.0";
    }
    return text + "%";
}

std::string PlaceText(const RateChart& chart) {
    const long long place = RoundHalfEven((chart.latest - chart.lowest) * 100 / (chart.highest - chart.lowest));
    return "." + std::to_string(place);
}

std::string MazoviaNameToCp1250(std::string line) {
    for (char& c : line) {
        switch (static_cast<unsigned char>(c)) {
            case 0x91: c = static_cast<char>(0xEA); break;  // e with ogonek
            case 0x92: c = static_cast<char>(0xB3); break;  // l with stroke
            case 0xA4: c = static_cast<char>(0xF1); break;  // n with acute
            default: break;
        }
    }
    return line;
}

void AddCurrencyToList(ChartList& list, const std::string& blockEndLine) {
    // "EUR  38718  02-01-2026  4.1012  001/A/NBP/2026  euro 1EUR" gives "EUR euro":
    // the code, then from the second space after the fixed part up to the
    // space before the column header.
    const std::string& line = blockEndLine;
    std::string entry = line.substr(0, 3);
    const std::size_t lastSpace = line.size() >= 2 ? line.rfind(' ', line.size() - 2) : std::string::npos;
    if (line.size() > 47) {
        const std::size_t end = (lastSpace != std::string::npos && lastSpace > 47) ? lastSpace : line.size();
        entry += line.substr(47, end - 47);
    }
    auto at = std::upper_bound(list.items.begin(), list.items.end(), entry);
    const int index = static_cast<int>(at - list.items.begin());
    list.items.insert(at, entry);
    if (list.selected >= index) ++list.selected;
}

void LayoutChartPanel(ChartView& view, int slot, int& runningTop) {
    const LabelSize max = view.labelSize(slot, RateLabel::Max);
    const int h = max.height;
    const int t = runningTop;
    view.setLabelTop(slot, RateLabel::Max, t);
    view.setLabelTop(slot, RateLabel::Akt, t + h);
    view.setLabelTop(slot, RateLabel::Min, t + 2 * h);
    // Twelve characters of the label font: the label is as wide as its text.
    const int length = static_cast<int>(view.labelText(slot, RateLabel::Max).size());
    const int w = (length > 0 ? max.width / length : 0) * 12;
    view.setListBounds(slot, t + 3 * h, w - 2, 3 * h + 4);
    view.setPanelBounds(slot, w, t, 6 * h + 4);
    runningTop = t + 6 * h + 4;
    view.lists[slot] = ChartList{};
    view.showList(slot, -1);
}

void SelectSavedCurrency(ChartView& view, int slot, const std::string& savedLine) {
    const std::string wanted = savedLine.empty() ? std::string(kDefaultEntry) : savedLine;
    ChartList& list = view.lists[slot];
    auto it = std::find(list.items.begin(), list.items.end(), wanted);
    const int i = it == list.items.end() ? -1 : static_cast<int>(it - list.items.begin());
    const int count = static_cast<int>(list.items.size());
    // Showing the next entry first leaves it in view under the chosen one.
    if (i + 2 < count) {
        list.selected = i + 1;
        view.showList(slot, i + 1);
    }
    // The saved entry is chosen also when it is one of the last two.
    list.selected = i;
    view.showList(slot, i);
}

void DrawRateChart(Program& program, int slot) {
    ChartView* view = View(program);
    if (!view || slot < 0 || slot >= kChartSlots) return;
    const ChartList& list = view->lists[slot];
    if (list.selected < 0 || list.selected >= static_cast<int>(list.items.size())) return;

    ChartCanvas& canvas = view->canvas(slot);
    // Start from a white image: the ellipse alone would leave the previous
    // currency's bars standing to its right.
    canvas.clear();
    const std::string code = list.selectedText().substr(0, 3);
    view->codes[slot] = code;
    canvas.drawEllipse({-200, -100}, {200, 500}, kMaroon);

    const auto lines = ReadLines(CurrentRateFileName(program));
    if (!lines) return;
    const RateChart chart = ComputeRateChart(*lines, code);

    view->setLabelText(slot, RateLabel::Max, " Max " + GeneralNumber(chart.highest));
    view->setLabelText(slot, RateLabel::Akt, " Akt " + GeneralNumber(chart.latest));
    view->setLabelText(slot, RateLabel::Min, " Min " + GeneralNumber(chart.lowest));

    for (const RateChart::Bar& bar : chart.bars) {
        canvas.drawLine({bar.x, kChartImageHeight}, {bar.x, bar.top}, kMaroon);
    }

    if (chart.highest == 0) return;
    const int lastOffset = chart.lastDay - chart.firstDay;
    while (lastOffset > view->panelWidth(0) - 9 && view->panelWidth(0) < kChartPanelMaxWidth) {
        const int before = view->panelWidth(0);
        view->growLeft(1);
        if (view->panelWidth(0) <= before) break;  // the screen holds the window back
    }
    canvas.drawText({15, 73}, SpreadText(chart), true);
    if (chart.highest > chart.lowest) canvas.drawText({22, 56}, PlaceText(chart), true);
    std::string caption = kCaptionPrefix;
    for (int k = 0; k < 4; ++k) {
        if (k > 0) caption += "  ";
        caption += view->codes[k];
    }
    if (caption.size() > kCaptionMax) caption.resize(kCaptionMax);
    view->setCaption(caption);
}

void ListClick(Program& program, int slot, int index) {
    ChartView* view = View(program);
    if (!view || slot < 0 || slot >= kChartSlots) return;
    ChartList& list = view->lists[slot];
    list.selected = index >= 0 && index < static_cast<int>(list.items.size()) ? index : -1;
    DrawRateChart(program, slot);
}

void KurClos(Program& program) {
    ChartView* view = View(program);
    if (!view) return;
    std::string text;
    for (const ChartList& list : view->lists) text += list.selectedText() + "\r\n";
    TryWriteFile(kSelectionFile, text);  // not writable: the choice is not kept, no message
}

void EscKlik(Program& program) {
    if (ChartView* view = View(program)) view->close();
}

void ShowChartError(Program& program, const std::string& text) {
    ChartView* view = View(program);
    if (!view) return;
    view->chartError = text;
    view->setCaption(text);
}

void UpdateWorkbookRates(Program& program) {
    ChartView* view = View(program);
    if (!view || !FileExists(kWorkbookFile) || !view->chartError.empty()) return;
    platform::Spreadsheet& spreadsheet = program.sys.spreadsheet;
    if (!spreadsheet.available()) {
        ShowChartError(program, kNoSpreadsheet);
        return;
    }
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(NativePath(kWorkbookFile), ec);
    std::unique_ptr<platform::Workbook> workbook;
    try {
        workbook = spreadsheet.open(NameFromPath(path));
    } catch (const IoError&) {
        // The program could not be started after all: as if it were missing.
        if (spreadsheet.available()) throw;
        ShowChartError(program, kNoSpreadsheet);
        return;
    }

    const auto lines = ReadLines(CurrentRateFileName(program));
    if (lines) {
        for (int row = 2; row <= kLastWorkbookRow; ++row) {
            const std::string code = workbook->cellText(row, 3).substr(0, 3);
            if (code.empty()) break;
            std::optional<double> fileRate;
            for (const std::string& line : *lines) {
                if (BeginsWith(line, code)) fileRate = RateLineRate(line);
            }
            if (!fileRate) continue;  // no rate for this code: the row stays as it is
            const std::string oldText = workbook->cellText(row, 5);
            std::string number = oldText;
            if (auto comma = number.find(','); comma != std::string::npos) number[comma] = '.';
            const std::optional<double> oldValue = ParseNumber(number);
            if (*fileRate == oldValue.value_or(0)) continue;
            if (oldValue) {
                workbook->setCellNumber(row, 8, *oldValue);
            } else {
                workbook->setCellText(row, 8, oldText);
            }
            workbook->setCellNumber(row, 5, *fileRate);
        }
    }
    workbook->finish();
}

void KurShow(Program& program) {
    ChartView* view = View(program);
    if (!view) return;
    // Shown again while open: keep the current choice for the rebuilt lists.
    if (view->visible()) KurClos(program);

    const WindowRect main = view->mainWindowRect();
    view->placeWindow(main.left, main.top + main.height, main.width, 10);
    int top = 0;
    for (int k = 0; k < kChartSlots; ++k) LayoutChartPanel(*view, k, top);
    view->setClientHeight(top);

    const auto lines = ReadLines(CurrentRateFileName(program));
    if (!lines) {
        view->setCaption(kNoTable);
        view->show();
        return;
    }
    for (const std::string& line : *lines) {
        if (line.size() <= kFixedPartLength) continue;
        const std::string converted = MazoviaNameToCp1250(line);
        for (ChartList& list : view->lists) AddCurrencyToList(list, converted);
    }
    for (int k = 0; k < kChartSlots; ++k) view->showList(k, -1);
    view->setEscTop(3 * view->labelSize(0, RateLabel::Max).height);

    if (const auto saved = ReadLines(kSelectionFile)) {
        for (int k = 0; k < kChartSlots; ++k) {
            SelectSavedCurrency(*view, k, k < static_cast<int>(saved->size()) ? (*saved)[k] : std::string());
            DrawRateChart(program, k);
        }
    }
    // The charts are on screen before the spreadsheet program, which takes a
    // second or more to start, is asked for the workbook.
    view->show();
    program.sys.events.processPending();
    UpdateWorkbookRates(program);
}

void AttachChartWindow(Program& program) {
    ChartView* view = View(program);
    if (!view) return;
    ChartHandlers handlers;
    handlers.listClicked = [&program](int slot, int index) { ListClick(program, slot, index); };
    handlers.escClicked = [&program] { EscKlik(program); };
    handlers.closing = [&program] { KurClos(program); };
    view->setHandlers(std::move(handlers));
}

}  // namespace vel::rates
