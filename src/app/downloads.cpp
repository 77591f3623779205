#include "app/downloads.h"

#include "common/program.h"
#include "common/status.h"

namespace vel::app {

// Downloads are not built yet: a request says so and arms nothing.
void RequestDownload(Program& program, int kind) {
    ShowStatus(program, "Pobieranie jeszcze niedost\xea" "pne");  // "...niedostępne"
}

void DownloadStart(Program&) {}
void DownloadComplete(Program&) {}

}  // namespace vel::app
