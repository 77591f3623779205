#pragma once
// The title of a PCL job: derived from the report headers on its first two
// lines, shown in the print queue and, ending in a counter and ".PDF", put on
// the clipboard as the file name for a PDF printer's save dialog.

#include "pcl/pcl_state.h"

#include <string>
#include <string_view>

namespace vel::pcl {

// The 18 Polish letters from code page 852 to code page 1250; other bytes stay.
std::string ConvertPolishLetters(std::string_view text);

// The line-1 rules on JobLine. For later lines (title no longer the default)
// only the cutting of a leading hidden section has an effect.
void DeriveJobTitle(PclJobState& s);
// The line-2 rules on JobLine, in their order: path, bracket, period (with
// the register rule at its end).
void ApplyPathRule(PclJobState& s);
void ApplyBracketRule(PclJobState& s);
void ApplyPeriodRule(PclJobState& s);
inline void ApplyLine2Rules(PclJobState& s) {
    ApplyPathRule(s);
    ApplyBracketRule(s);
    ApplyPeriodRule(s);
}

// Status "Druk: " + title, the counter, " ~N.PDF", the document title and the
// clipboard.
void PublishJobTitle(PclJobState& s);

}  // namespace vel::pcl
