#pragma once
// The rate charts window `TKu`: eight slots, each a currency list and a bar
// chart of the current year's daily rates, and the update of the rates in the
// user's workbook "Magazyn.xls" through the spreadsheet program.

#include "platform/canvas.h"
#include "rates/chart_view.h"

#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::rates {

// Shows the charts window after a current-year refresh: lays it out under the
// main window, fills the lists, restores the saved choice, draws the charts,
// then brings the workbook's rates up to date. Does nothing without a window.
void KurShow(Program& program);

// Connects the window's events (list clicks, Esc, closing) to their handlers.
// The program entry calls it once the Program exists.
void AttachChartWindow(Program& program);

// Name of the rate file the charts read: "Kurs" + the current year.
std::string CurrentRateFileName(Program& program);

// --- The window's handlers, public for the tests. ---------------------------

void LayoutChartPanel(ChartView& view, int slot, int& runningTop);
// Adds the list entry of a block-end line ("EUR euro") to a sorted list.
void AddCurrencyToList(ChartList& list, const std::string& blockEndLine);
// Selects the saved entry (empty: "EUR euro") and keeps the next one in view.
void SelectSavedCurrency(ChartView& view, int slot, const std::string& savedLine);
// Mazovia bytes of e, l, n with their marks (0x91, 0x92, 0xA4) to code page 1250.
std::string MazoviaNameToCp1250(std::string line);
void DrawRateChart(Program& program, int slot);
void ListClick(Program& program, int slot, int index);  // Li1Klik .. Li8Klik
void KurClos(Program& program);
void EscKlik(Program& program);
void UpdateWorkbookRates(Program& program);
void ShowChartError(Program& program, const std::string& text);

// --- Chart arithmetic, free of any window. ----------------------------------

// Day number (characters 6-10) and rate (characters 25-30) of a rate line;
// 0 where a field is not a number.
int RateLineDay(const std::string& line);
double RateLineRate(const std::string& line);

struct RateChart {
    double highest = 0;
    double lowest = 10;
    double latest = 100;
    int firstDay = 0;
    int lastDay = 0;
    struct Bar {
        int x;    // image column: day - first day + 2
        int top;  // row the bar reaches, 0 for the highest rate, 36 for the lowest
    };
    std::vector<Bar> bars;
};

// The chart of one currency from the lines of a rate file.
RateChart ComputeRateChart(const std::vector<std::string>& rateLines, const std::string& code);

// Label numbers in the shortest general decimal form ("4.3434", "0", "100").
std::string GeneralNumber(double value);
// The spread text: percent with one significant digit, "3.0%".
std::string SpreadText(const RateChart& chart);
// The latest rate's place in the year's range: ".75".
std::string PlaceText(const RateChart& chart);

}  // namespace vel::rates
