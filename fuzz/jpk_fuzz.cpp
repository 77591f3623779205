// libFuzzer target over the register input: the element reader and the
// sales and purchase register writers, on arbitrary register bytes and
// request lines. The first line of the input is taken as the request
// (its variant letter and keys), the rest as the register file.

#include "common/program.h"
#include "jpk/jpk_input.h"
#include "jpk/jpk_registers.h"
#include "support/fake_platform.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Fixture {
    Fixture() {
        char tmpl[] = "/tmp/jpk-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) std::abort();
        std::filesystem::current_path(tmpl);
        std::filesystem::create_directories("JPK");
    }
    vel::platform::FakePrinter printer;
    vel::platform::FakeClipboard clipboard;
    vel::platform::FakeShell shell;
    vel::platform::FakeClock clock;
    vel::platform::FakeEventPump events;
    vel::platform::FakeStatusLine status;
    vel::platform::FakeSpreadsheet spreadsheet;
    vel::Program program{vel::Services{printer, clipboard, shell, clock, events, status, spreadsheet}, vel::Jobs{}};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Fixture fixture;
    const std::string input(reinterpret_cast<const char*>(data), size);

    // The element reader alone: it must end, and never hand out more than it holds.
    vel::jpk::RegisterBuffer buffer;
    buffer.Assign(input);
    std::size_t total = 0;
    for (int guard = 0; !buffer.Empty(); ++guard) {
        total += buffer.NextElement().size();
        if (guard > static_cast<int>(size) + 1 || total > size) std::abort();
    }

    // The writers on the same bytes as one register file.
    const std::size_t nl = input.find('\n');
    const std::string request = nl == std::string::npos ? std::string() : input.substr(0, nl);
    const std::string reg = nl == std::string::npos ? input : input.substr(nl + 1);
    const char variants[] = {'A', 'B', 'C', 'D', 'E'};
    const char v = request.empty() ? 'D' : variants[static_cast<unsigned char>(request[0]) % 5];
    static const char* const kBases[] = {"JPK\\JPK_VAT_2020-09_WQA-001", "JPK\\JPK_VAT_2021-06_WQA-001",
                                         "JPK\\JPK_VAT_2021-09_WQA-001", "JPK\\JPK_VAT_2022-06_WQA-001",
                                         "JPK\\JPK_VAT_2026-06_WQA-001"};
    const std::string base = kBases[v - 'A'];
    {
        std::ofstream out(base.substr(0, 3) + "/" + base.substr(4) + "_X.xml", std::ios::binary | std::ios::trunc);
        out << reg;
    }
    vel::jpk::RequestLines lines;
    lines.Load("Rej X\n" + std::string(request.size() > 1 && request[1] == 'K' ? "Kwa T\n" : "") + request);
    vel::jpk::JpkRun run(fixture.program, lines);
    run.base = base;
    run.period = vel::jpk::PeriodOf(base);
    run.variant = vel::jpk::VariantOf(run.period);
    run.quarterDigit = vel::jpk::QuarterDigit(run.period);
    run.quarterly = lines.LookupKey("Kwa") == "T";
    std::ostringstream out;
    vel::jpk::LineWriter writer(out, run.variant);
    vel::jpk::WriteSalesRegister(run, writer);
    vel::jpk::WritePurchaseRegister(run, writer);
    if (run.salesRows < 0 || run.purchaseRows < 0) std::abort();
    fixture.status.history.clear();
    return 0;
}
