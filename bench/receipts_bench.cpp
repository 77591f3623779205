// Scanning speed of the receipt scanner on a receipt of many rows.
#include "receipts/receipt_check.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

std::string ReceiptOfRows(int rows) {
    std::string text = "<?xml version=\"1.0\" encoding=\"windows-1250\"?>\r\n"
                       "<PAR NR=\"0815\" SUMVAT=\"1.15\" SUMBRT=\"6.15\">\r\n";
    for (int i = 1; i <= rows; ++i) {
        text += "<WIERSZ LP=\"" + std::to_string(i) +
                "\" STVAT=\"23\" INDEKS=\"ART-" + std::to_string(i) +
                "\" ILOSC=\"1.5\" CENA=\"10.99\" UPUST=\"5\" SUMNET=\"15.66\"/>\r\n";
    }
    return text + "</PAR>\r\n";
}

void BM_ScanReceipt(benchmark::State& state) {
    const std::string receipt = ReceiptOfRows(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        vel::receipts::ReceiptErrors errors;
        benchmark::DoNotOptimize(vel::receipts::ScanReceipt(receipt, errors));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(receipt.size()));
}
BENCHMARK(BM_ScanReceipt)->Arg(10)->Arg(1000);

}  // namespace

BENCHMARK_MAIN();
