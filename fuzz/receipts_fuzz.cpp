// libFuzzer target over the receipt scanner: any bytes, as a sibling program
// might drop them, must be scanned without reading outside the text.
#include "receipts/receipt_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vel::receipts::ReceiptErrors errors;
    const vel::receipts::ScanResult result = vel::receipts::ScanReceipt(bytes, errors);
    // The list never grows past seven, and a receipt without rows is refused.
    if (errors.count > vel::receipts::kMaxReceiptErrors) std::abort();
    if (result.rows == 0 && errors.count == 0) std::abort();
    if (result.rows < 0) std::abort();
    return 0;
}
