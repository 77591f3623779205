#include "spool/printers.h"

#include "common/format.h"
#include "common/program.h"
#include "common/status.h"
#include "common/trace.h"
#include "platform/printer.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vel::spool {

namespace {

// The list control sorts without regard to case.
std::vector<std::string> SortedAsListShows(std::vector<std::string> names) {
    std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const std::string la = LowerAscii(a), lb = LowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

// The installed printer whose name equals `text` without regard to case.
const std::string* FindInstalled(const std::vector<std::string>& installed, const std::string& text) {
    for (const auto& name : installed) {
        if (EqualsIgnoreCase(name, text)) return &name;
    }
    return nullptr;
}

}  // namespace

void RebuildPrinterList(Program& program) {
    ListState& list = program.state.pagePrinters;
    TraceReset();
    TraceStage(-1);
    const std::string remembered = list.selectedText();
    TraceStage(1);
    list.items = SortedAsListShows(program.sys.printer.printerNames());
    list.selected = -1;
    TraceStage(2);
    if (!list.items.empty()) {
        // From the last entry back: the first whose name is not above the
        // previous choice in byte order, or the first entry.
        int i = static_cast<int>(list.items.size()) - 1;
        while (i > 0 && list.items[i] > remembered) --i;
        TraceNote("dr.nr", static_cast<std::int16_t>(i + 1));
        list.selected = i;
    }
    TraceStage(0);
}

void SelectStartupPrinters(Program& program) {
    ProgramState& state = program.state;
    platform::Printer& printer = program.sys.printer;
    const std::vector<std::string> installed = printer.printerNames();

    ListState& page = state.pagePrinters;
    const std::string defaultName = printer.defaultPrinterName();
    for (int i = 0; i < static_cast<int>(page.items.size()); ++i) {
        if (!defaultName.empty() && EqualsIgnoreCase(page.items[i], defaultName)) page.selected = i;
    }
    for (int i = 0; i < static_cast<int>(page.items.size()); ++i) {
        if (page.items[i] == kPreferredPdfPrinter) page.selected = i;
    }
    if (const std::string* name = FindInstalled(installed, page.selectedText())) printer.setCurrent(*name);

    ListState& label = state.labelPrinters;
    label.items = SortedAsListShows(installed);
    label.selected = -1;
    for (int i = 0; i < static_cast<int>(label.items.size()); ++i) {
        const std::string& name = label.items[i];
        if (name.find("Zebra") != std::string::npos || name.find("CLP-6") != std::string::npos) label.selected = i;
    }

    state.fiscalPrinter.items = {kFiscalEntry};
    state.fiscalPrinter.selected = 0;
}

void DrLChan(Program& program, int index) {
    ListState& list = program.state.pagePrinters;
    if (index < 0 || index >= static_cast<int>(list.items.size())) return;
    list.selected = index;
    const std::string text = list.items[index];
    platform::Printer& printer = program.sys.printer;

    TraceReset();
    TraceStage(-2);
    const std::vector<std::string> installed = printer.printerNames();
    const std::string* name = FindInstalled(installed, text);
    TraceStage(1);
    if (!name) {
        ShowStatus(program, "Nie ma  " + text);
        return;
    }
    TraceStage(2);
    printer.setCurrent(*name);
    printer.setOrientation(platform::Orientation::Portrait);
    const std::uint16_t dpi = PrinterDpi(printer);
    TraceNote("dpi", static_cast<std::int16_t>(dpi));
    ShowStatus(program, text + " - " + std::to_string(dpi) + " dpi");
    TraceStage(0);
}

}  // namespace vel::spool
