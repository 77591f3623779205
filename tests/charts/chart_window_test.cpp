#include "charts/fake_chart_view.h"
#include "charts/rate_file_builder.h"
#include "common/io.h"
#include "rates/charts.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vel::test {
namespace {

using rates::RateLabel;

// A whole made-up year of rates (2024, eleven currencies).
const std::string& YearRateFile() { return Sample2024().rateFile; }

const std::string kCaptionPrefix = "Wykresy kurs\xf3w:  ";

// The charts window on a fake view, in a temporary folder, with the clock in
// 2024 so that the window reads "Kurs2024".
struct ChartWindow : ::testing::Test {
    ScopedTempDir dir;
    TestProgram tp;
    FakeChartView view;
    ChartWindow() {
        tp.clock.set({2024, 12, 31, 12, 0, 0, 0, 2});
        tp.program.sys.chartView = &view;
        rates::AttachChartWindow(tp.program);
    }
    void writeRates(const std::string& text) { WriteAll(dir.file("Kurs2024"), text); }
    int indexOf(int slot, const std::string& entry) {
        const auto& items = view.lists[slot].items;
        auto it = std::find(items.begin(), items.end(), entry);
        return it == items.end() ? -1 : static_cast<int>(it - items.begin());
    }
    void click(int slot, const std::string& entry) {
        const int i = indexOf(slot, entry);
        ASSERT_GE(i, 0) << entry;
        view.handlers.listClicked(slot, i);
    }
};

TEST_F(ChartWindow, WithoutRateFileOnlyTheCaptionSaysSo) {
    rates::KurShow(tp.program);
    EXPECT_EQ(view.caption(), "Nie ma tabeli");
    EXPECT_TRUE(view.visible());
    for (const auto& list : view.lists) EXPECT_TRUE(list.items.empty());
    EXPECT_EQ(view.canvases[0].ops.size(), 0u);
}

TEST_F(ChartWindow, SlotsAreLaidOutUnderEachOtherBelowTheMainWindow) {
    rates::KurShow(tp.program);
    EXPECT_EQ(view.window.left, 1000);
    EXPECT_EQ(view.window.top, 92);
    EXPECT_EQ(view.window.width, 290);
    EXPECT_EQ(view.fontSize, 10);
    const int h = FakeChartView::kLabelHeight;
    for (int k = 0; k < rates::kChartSlots; ++k) {
        const int t = k * (6 * h + 4);
        EXPECT_EQ(view.at(k, RateLabel::Max).top, t);
        EXPECT_EQ(view.at(k, RateLabel::Akt).top, t + h);
        EXPECT_EQ(view.at(k, RateLabel::Min).top, t + 2 * h);
        EXPECT_EQ(view.listBounds[k].top, t + 3 * h);
        EXPECT_EQ(view.listBounds[k].height, 3 * h + 4);
        EXPECT_EQ(view.listBounds[k].width, 12 * FakeChartView::kCharWidth - 2);
        EXPECT_EQ(view.panelBounds[k].left, 12 * FakeChartView::kCharWidth);
        EXPECT_EQ(view.panelBounds[k].top, t);
        EXPECT_EQ(view.panelBounds[k].height, 6 * h + 4);
    }
    EXPECT_EQ(view.window.height, 8 * (6 * h + 4));
}

TEST_F(ChartWindow, WithoutSavedChoiceListsAreFilledButNothingIsDrawn) {
    writeRates(YearRateFile());
    rates::KurShow(tp.program);
    for (int k = 0; k < rates::kChartSlots; ++k) {
        EXPECT_EQ(view.lists[k].items.size(), Sample2024().columns.size());
        EXPECT_EQ(view.lists[k].selected, -1);
        EXPECT_EQ(view.shownLists[k].items, view.lists[k].items);
        EXPECT_TRUE(view.canvases[k].ops.empty());
    }
    const auto& items = view.lists[0].items;
    EXPECT_TRUE(std::is_sorted(items.begin(), items.end()));
    EXPECT_EQ(items.front(), "AUD dolar australijski");
    // Names come back from the Mazovia bytes for the letters e, l and n with marks.
    EXPECT_GE(indexOf(0, "USD dolar ameryka\xf1ski"), 0);
    EXPECT_GE(indexOf(0, "HUF forint (W\xeagry)"), 0);
    EXPECT_GE(indexOf(0, "EUR euro"), 0);
    EXPECT_EQ(view.escTop, 3 * FakeChartView::kLabelHeight);
}

TEST_F(ChartWindow, ClickDrawsBarsLabelsTextsAndGrowsTheWindowLeftwards) {
    writeRates(YearRateFile());
    rates::KurShow(tp.program);
    click(0, "EUR euro");

    EXPECT_EQ(view.codes[0], "EUR");
    // The euro's last rate in its shortest form: "4,2730" shows as 4.273.
    std::string latest = RateLine("EUR", "20241231", Sample2024().column("EUR").rates.back().perUnit, "").substr(24, 6);
    while (latest.back() == '0') latest.pop_back();
    EXPECT_EQ(view.labelText(0, RateLabel::Akt), " Akt " + latest);
    EXPECT_EQ(view.labelText(0, RateLabel::Max).substr(0, 5), " Max ");
    const FakeChartCanvas& canvas = view.canvases[0];
    ASSERT_GE(canvas.ops.size(), 2u);
    EXPECT_EQ(canvas.ops[0].kind, ChartOp::Clear);
    EXPECT_EQ(canvas.ops[1].kind, ChartOp::Ellipse);
    EXPECT_EQ(canvas.ops[1].a, (platform::Point{-200, -100}));
    EXPECT_EQ(canvas.ops[1].b, (platform::Point{200, 500}));
    int bars = 0;
    for (const ChartOp& op : canvas.ops) {
        if (op.kind != ChartOp::Line) continue;
        ++bars;
        EXPECT_EQ(op.a.y, 100);
        EXPECT_EQ(op.a.x, op.b.x);
        EXPECT_GE(op.b.y, 0);
        EXPECT_LE(op.b.y, 36);
    }
    EXPECT_GT(bars, 240);
    // Spread and place texts, bold, at their places.
    std::vector<ChartOp> texts;
    for (const ChartOp& op : canvas.ops) {
        if (op.kind == ChartOp::Text) texts.push_back(op);
    }
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].a, (platform::Point{15, 73}));
    EXPECT_EQ(texts[0].text.back(), '%');
    EXPECT_TRUE(texts[0].bold);
    EXPECT_EQ(texts[1].a, (platform::Point{22, 56}));
    EXPECT_EQ(texts[1].text[0], '.');
    // The year's columns 2..366 do not fit 194 pixels: the window grows to
    // the left until the last one is 9 pixels inside the panel; the right
    // edge stays.
    EXPECT_EQ(view.panelWidth(0), 364 + 9);
    EXPECT_EQ(view.window.width, 12 * FakeChartView::kCharWidth + 364 + 9);
    EXPECT_EQ(view.window.left + view.window.width, 1000 + 290);
    EXPECT_EQ(view.caption(), kCaptionPrefix + "EUR      ");
}

TEST_F(ChartWindow, ShortChartLeavesTheWindowAsItIs) {
    writeRates(RateLine("EUR", "20240102", 4.3434, "001/A/NBP/2024") + "\r\n" +
               RateLine("EUR", "20240103", 4.3, "002/A/NBP/2024") + "  euro 1EUR\r\n");
    rates::KurShow(tp.program);
    click(0, "EUR euro");
    EXPECT_EQ(view.growSteps, 0);
    EXPECT_EQ(view.window.width, 290);
    EXPECT_EQ(view.labelText(0, RateLabel::Max), " Max 4.3434");
    EXPECT_EQ(view.labelText(0, RateLabel::Akt), " Akt 4.3");
    EXPECT_EQ(view.labelText(0, RateLabel::Min), " Min 4.3");
}

TEST_F(ChartWindow, WindowStopsGrowingWhenTheFirstPanelIs400Wide) {
    // Two years of a currency: 700 columns never fit; the panel stops at 400.
    writeRates(RateLine("EUR", "20230102", 4.6, "001/A/NBP/2023") + "\r\n" +
               RateLine("EUR", "20241231", 4.273, "252/A/NBP/2024") + "  euro 1EUR\r\n");
    rates::KurShow(tp.program);
    click(0, "EUR euro");
    EXPECT_EQ(view.panelWidth(0), 400);
    EXPECT_EQ(view.window.width, 12 * FakeChartView::kCharWidth + 400);
    EXPECT_EQ(view.window.left, 1000 + 290 - view.window.width);
    // Bars beyond the image are drawn where the canvas clips them.
    EXPECT_EQ(view.canvases[0].ops.back().kind, ChartOp::Text);
    click(1, "EUR euro");  // a second chart does not grow it further
    EXPECT_EQ(view.window.width, 12 * FakeChartView::kCharWidth + 400);
}

TEST_F(ChartWindow, CodeWithoutLinesShowsStartValuesAndLeavesCaption) {
    writeRates(RateLine("EUR", "20240102", 4.3434, "001/A/NBP/2024") + "  euro 1EUR\r\n");
    rates::KurShow(tp.program);
    view.setCaption("bez zmian");
    view.lists[1].items = {"QQQ nic"};
    view.handlers.listClicked(1, 0);
    EXPECT_EQ(view.labelText(1, RateLabel::Max), " Max 0");
    EXPECT_EQ(view.labelText(1, RateLabel::Akt), " Akt 100");
    EXPECT_EQ(view.labelText(1, RateLabel::Min), " Min 10");
    EXPECT_EQ(view.canvases[1].count(ChartOp::Line), 0);
    EXPECT_EQ(view.canvases[1].count(ChartOp::Text), 0);
    EXPECT_EQ(view.canvases[1].count(ChartOp::Ellipse), 1);
    EXPECT_EQ(view.caption(), "bez zmian");
}

TEST_F(ChartWindow, CaptionNamesTheFirstFourSlotsAndIsCutTo35) {
    writeRates(YearRateFile());
    rates::KurShow(tp.program);
    click(0, "EUR euro");
    click(1, "USD dolar ameryka\xf1ski");
    click(2, "CHF frank szwajcarski");
    click(3, "GBP funt szterling");
    click(4, "JPY jen (Japonia)");
    EXPECT_EQ(view.caption(), kCaptionPrefix + "EUR  USD  CHF  GBP");
    EXPECT_EQ(view.caption().size(), 35u);
}

TEST_F(ChartWindow, ChoiceIsWrittenOnCloseAndRestoredOnTheNextShow) {
    writeRates(YearRateFile());
    rates::KurShow(tp.program);
    click(0, "EUR euro");
    click(1, "USD dolar ameryka\xf1ski");
    click(7, "ZAR rand (Republika Po\xb3udniowej Afryki)");  // the last entry
    view.handlers.escClicked();
    EXPECT_FALSE(view.visible());
    EXPECT_EQ(ReadAll(dir.file("Wal.{-}")),
              "EUR euro\r\nUSD dolar ameryka\xf1ski\r\n\r\n\r\n\r\n\r\n\r\n"
              "ZAR rand (Republika Po\xb3udniowej Afryki)\r\n");

    FakeChartView again;
    tp.program.sys.chartView = &again;
    rates::AttachChartWindow(tp.program);
    rates::KurShow(tp.program);
    EXPECT_EQ(again.lists[0].selectedText(), "EUR euro");
    EXPECT_EQ(again.lists[1].selectedText(), "USD dolar ameryka\xf1ski");
    // Empty lines bring back the euro.
    for (int k = 2; k < 7; ++k) EXPECT_EQ(again.lists[k].selectedText(), "EUR euro");
    EXPECT_EQ(again.lists[7].selectedText(), "ZAR rand (Republika Po\xb3udniowej Afryki)");
    EXPECT_EQ(again.codes[7], "ZAR");
    EXPECT_GT(again.canvases[7].count(ChartOp::Line), 240);
    EXPECT_EQ(again.caption(), kCaptionPrefix + "EUR  USD  EUR  EUR");
}

TEST_F(ChartWindow, SavedEntryKeepsTheNextOneInView) {
    view.lists[0].items = {"AUD a", "CHF c", "EUR euro", "GBP g", "USD u"};
    rates::SelectSavedCurrency(view, 0, "CHF c");
    EXPECT_EQ(view.lists[0].selected, 1);
    EXPECT_EQ(view.scrolledTo[0], 1);
    // The entry after it was brought into view first.
    view.scrolledTo[0] = -1;
    rates::SelectSavedCurrency(view, 0, "");
    EXPECT_EQ(view.lists[0].selected, 2);
    rates::SelectSavedCurrency(view, 0, "USD u");
    EXPECT_EQ(view.lists[0].selected, 4);
    rates::SelectSavedCurrency(view, 0, "XXX nie ma");
    EXPECT_EQ(view.lists[0].selected, -1);
}

TEST_F(ChartWindow, UnwritableSelectionFileIsNoError) {
    writeRates(YearRateFile());
    rates::KurShow(tp.program);
    click(0, "EUR euro");
    std::filesystem::create_directory(dir.file("Wal.{-}"));  // a folder in its place
    EXPECT_NO_THROW(view.handlers.escClicked());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("Wal.{-}")));
}

// --- Workbook update through the spreadsheet interface ----------------------

struct WorkbookUpdate : ChartWindow {
    platform::FakeSpreadsheet::Cells& book() {
        return tp.spreadsheet.workbooks[(dir.path() / "Magazyn.xls").string()];
    }
    std::string cell(int row, int column) {
        auto it = book().find({row, column});
        return it == book().end() ? "(none)" : it->second;
    }
    void setUp() {
        writeRates(RateLine("EUR", "20240102", 4.3434, "001/A/NBP/2024") + "\r\n" +
                   RateLine("EUR", "20241231", 4.273, "252/A/NBP/2024") + "  euro 1EUR\r\n" +
                   RateLine("CHF", "20241231", 4.5371, "252/A/NBP/2024") + "  frank szwajcarski 1CHF\r\n");
        WriteAll(dir.file("Magazyn.xls"), "stand-in");
        auto& cells = book();
        cells[{1, 3}] = "Waluta";
        cells[{2, 3}] = "EUR";  // changed
        cells[{2, 5}] = "4,3434";
        cells[{3, 3}] = "CHF";  // unchanged
        cells[{3, 5}] = "4.5371";
        cells[{4, 3}] = "USD";  // no rate in the file
        cells[{4, 5}] = "3.9";
        cells[{5, 3}] = "EURO";  // the first three characters count
        cells[{5, 5}] = "";
        cells[{7, 3}] = "GBP";  // after the empty row 6: never looked at
        cells[{7, 5}] = "1";
    }
};

TEST_F(WorkbookUpdate, ChangedRowsGetOldRateInColumn8AndNewInColumn5) {
    setUp();
    rates::UpdateWorkbookRates(tp.program);
    EXPECT_EQ(cell(2, 5), "4.273");
    EXPECT_EQ(cell(2, 8), "4.3434");
    EXPECT_EQ(cell(3, 5), "4.5371");
    EXPECT_EQ(cell(3, 8), "(none)");
    EXPECT_EQ(cell(4, 5), "3.9");
    EXPECT_EQ(cell(4, 8), "(none)");
    EXPECT_EQ(cell(5, 5), "4.273");
    EXPECT_EQ(cell(5, 8), "");
    EXPECT_EQ(cell(7, 5), "1");
    EXPECT_TRUE(tp.spreadsheet.finished);
    EXPECT_EQ(view.chartError, "");
}

TEST_F(WorkbookUpdate, NoSpreadsheetProgramIsToldOnceAndNotTriedAgain) {
    setUp();
    tp.spreadsheet.installed = false;
    rates::UpdateWorkbookRates(tp.program);
    EXPECT_EQ(view.caption(), "Nie ma \xbf" "adnego Excela w systemie");
    tp.spreadsheet.installed = true;
    rates::UpdateWorkbookRates(tp.program);
    EXPECT_EQ(tp.spreadsheet.opens, 0);
    EXPECT_EQ(cell(2, 5), "4,3434");
}

TEST_F(WorkbookUpdate, WorkbookThatCannotBeOpenedIsAnErrorOfTheHandler) {
    setUp();
    tp.spreadsheet.workbooks.clear();  // the program is there, the workbook fails
    EXPECT_THROW(rates::UpdateWorkbookRates(tp.program), IoError);
    EXPECT_EQ(view.chartError, "");
    EXPECT_EQ(tp.spreadsheet.opens, 1);
}

TEST_F(WorkbookUpdate, NoWorkbookFileNothingIsOpened) {
    setUp();
    std::filesystem::remove(dir.file("Magazyn.xls"));
    rates::UpdateWorkbookRates(tp.program);
    EXPECT_EQ(tp.spreadsheet.opens, 0);
    EXPECT_EQ(view.chartError, "");
}

TEST_F(WorkbookUpdate, ShowingTheWindowUpdatesTheWorkbookAfterTheCharts) {
    setUp();
    rates::KurShow(tp.program);
    EXPECT_EQ(tp.spreadsheet.opens, 1);
    EXPECT_EQ(cell(2, 5), "4.273");
    EXPECT_GE(tp.events.calls, 1);  // the window painted before the spreadsheet was asked
}

TEST_F(WorkbookUpdate, WithoutRateFileTheWorkbookIsNotOpened) {
    setUp();
    std::filesystem::remove(dir.file("Kurs2024"));
    rates::KurShow(tp.program);
    EXPECT_EQ(tp.spreadsheet.opens, 0);
    EXPECT_EQ(view.caption(), "Nie ma tabeli");
}

}  // namespace
}  // namespace vel::test
