#include "common/program.h"
#include "spool/printers.h"
#include "support/temp_dir.h"
#include "support/test_program.h"

#include <gtest/gtest.h>

namespace vel::spool {
namespace {

using test::ScopedTempDir;
using test::TestProgram;

std::vector<platform::FakePrinterInfo> Named(std::initializer_list<const char*> names) {
    std::vector<platform::FakePrinterInfo> list;
    for (const char* n : names) list.push_back({n});
    return list;
}

TEST(PrinterLists, StartUpPrefersTheNamedPdfPrinterAndFindsTheLabelPrinter) {
    ScopedTempDir dir;
    TestProgram t(Named({"Brother HL", "Foxit  PDF  Printer", "Zebra ZD420"}), "Brother HL");
    RebuildPrinterList(t.program);
    SelectStartupPrinters(t.program);
    const ProgramState& s = t.program.state;
    EXPECT_EQ(s.pagePrinters.selectedText(), "Foxit  PDF  Printer");
    EXPECT_EQ(t.printer.currentName(), "Foxit  PDF  Printer");
    EXPECT_EQ(s.labelPrinters.selectedText(), "Zebra ZD420");
    EXPECT_EQ(s.fiscalPrinter.items, std::vector<std::string>{" Com1: fisk."});
    EXPECT_EQ(s.fiscalPrinter.selected, 0);
}

TEST(PrinterLists, SingleSpacedFoxitIsNotPreferred) {
    ScopedTempDir dir;
    TestProgram t(Named({"Brother HL", "Foxit PDF Printer"}), "brother hl");
    RebuildPrinterList(t.program);
    SelectStartupPrinters(t.program);
    EXPECT_EQ(t.program.state.pagePrinters.selectedText(), "Brother HL");
    EXPECT_EQ(t.program.state.labelPrinters.selected, -1);
}

TEST(PrinterLists, TheLaterOfTwoLabelPrintersInSortedOrderIsSelected) {
    ScopedTempDir dir;
    TestProgram t(Named({"Zebra GK420", "CLP-621", "laser"}), "laser");
    RebuildPrinterList(t.program);
    SelectStartupPrinters(t.program);
    EXPECT_EQ(t.program.state.labelPrinters.items, (std::vector<std::string>{"CLP-621", "laser", "Zebra GK420"}));
    EXPECT_EQ(t.program.state.labelPrinters.selectedText(), "Zebra GK420");
}

TEST(PrinterLists, RebuildKeepsOrApproachesThePreviousChoice) {
    ScopedTempDir dir;
    TestProgram t(Named({"Alpha", "Gamma"}), "Alpha");
    t.program.state.pagePrinters = {{"Alpha", "Beta", "Gamma"}, 1};  // Beta chosen, then removed
    RebuildPrinterList(t.program);
    EXPECT_EQ(t.program.state.pagePrinters.selectedText(), "Alpha");

    t.program.state.pagePrinters.selected = 1;  // Gamma, still installed
    RebuildPrinterList(t.program);
    EXPECT_EQ(t.program.state.pagePrinters.selectedText(), "Gamma");
}

TEST(PrinterLists, RebuildLeavesItsStagesInTheTrace) {
    ScopedTempDir dir;
    TestProgram t(Named({"Alpha", "Gamma"}), "Alpha");
    RebuildPrinterList(t.program);
    EXPECT_EQ(test::ReadAll("Vel.err"), " -1. Nowa lista drukarek: etap 1, etap 2, dr.nr 1, koniec.\r\n");
}

TEST(PrinterLists, ChangeMakesThePrinterCurrentAndTracesItsResolution) {
    ScopedTempDir dir;
    TestProgram t(Named({"Alpha", "Gamma"}), "Alpha");
    RebuildPrinterList(t.program);
    t.printer.setOrientation(platform::Orientation::Landscape);
    DrLChan(t.program, 1);
    EXPECT_EQ(t.printer.currentName(), "Gamma");
    EXPECT_EQ(t.printer.orientation(), platform::Orientation::Portrait);
    EXPECT_EQ(test::ReadAll("Vel.err"), " -2. Inna drukarka: etap 1, etap 2, dpi 600, koniec.\r\n");
    EXPECT_EQ(t.status.text(), "Gamma - 600 dpi");
}

TEST(PrinterLists, ChangeToAVanishedPrinterSaysSoAndChangesNothing) {
    ScopedTempDir dir;
    TestProgram t(Named({"Alpha", "Gamma"}), "Alpha");
    t.program.state.pagePrinters = {{"Alpha", "Beta", "Gamma"}, 0};
    DrLChan(t.program, 1);
    EXPECT_EQ(t.printer.currentName(), "Alpha");
    EXPECT_EQ(t.status.text(), "Nie ma  Beta");
    EXPECT_EQ(test::ReadAll("Vel.err"), " -2. Inna drukarka: etap 1,");
}

}  // namespace
}  // namespace vel::spool
