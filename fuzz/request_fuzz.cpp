// libFuzzer target over the request file "Wykon.to!": its lines, the keys of
// an `Int`, the letter conversion of a `Ren` and the check of the program a
// `Run` names, walked as the command loop walks them but without touching
// any file: a request names paths of its own choosing.

#include "jpk/jpk_input.h"
#include "jpk/jpk_request.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace vel::jpk;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    RequestLines request;
    request.Load(text);
    for (int n = 1; n <= kRequestLineCount; ++n) {
        if (request.Line(n).size() > text.size()) std::abort();
    }
    for (const char* key : {"Dir", "DGr", "Kwa", "NIP", "PNa", "Cel"}) {
        const std::string value = request.LookupKey(key);
        if (value != "BRAK" && value.size() > kKeyValueLimit) std::abort();
    }
    // The command loop: every round drops at least one line or ends.
    for (int round = 0; round <= kRequestLineCount + 1; ++round) {
        const std::string first = request.Line(1);
        if (first == "Run") {
            const std::string& name = request.Line(3);
            const bool allowed = MayRunProgram(name, request.Line(4));
            // A name with a folder in it is never started, whatever is listed.
            if (allowed && name.find_first_of("/\\:") != std::string::npos) std::abort();
            return 0;
        }
        if (first == "Ren") {
            const std::string converted = ConvertLetters(request.Line(3));
            if (converted.size() != request.Line(3).size()) std::abort();
            request.DropFront(3);
        } else if (first == "Int") {
            const std::string period = PeriodOf(request.Line(2));
            (void)VariantOf(period);
            (void)MonthBases(request.Line(2), request.LookupKey("Kwa") == "T", QuarterDigit(period));
            while (!request.FirstThreeEmpty() && request.Line(1) != "Run") request.DropFront(1);
        } else {
            request.DropFront(1);
        }
        if (request.FirstThreeEmpty()) return 0;
    }
    std::abort();  // the loop did not come to an end
}
