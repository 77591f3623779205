#pragma once
// The three printer lists of the main window and the current printer.
// The lists live in ProgramState; the window shows what they hold.

namespace vel {
class Program;
}

namespace vel::spool {

inline constexpr const char* kPreferredPdfPrinter = "Foxit  PDF  Printer";
inline constexpr const char* kFiscalEntry = " Com1: fisk.";

// Refills the page printer list, keeping the selection as close as possible
// to the previous one. Traces its stages to "Vel.err".
void RebuildPrinterList(Program& program);
// The start-up choices: the default or preferred PDF page printer, the label
// printer, the fiscal entry; makes the page printer current.
void SelectStartupPrinters(Program& program);
// The user picked entry `index` of the page printer list.
void DrLChan(Program& program, int index);

}  // namespace vel::spool
