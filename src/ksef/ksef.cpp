#include "ksef/ksef.h"

#include "common/program.h"

namespace vel::ksef {

bool HasKsefShape(const std::string& text) { return text.size() == 35 && text[10] == '-' && text[19] == '-'; }

// Not built yet.
void CaptureKsefNumber(Program&, const std::string&) {}
void CheckKsefFile(Program&) {}

}  // namespace vel::ksef
