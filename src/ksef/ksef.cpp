#include "ksef/ksef.h"

#include "common/io.h"
#include "common/program.h"
#include "common/status.h"
#include "ksef/ksef_view.h"
#include "platform/clipboard.h"

namespace vel::ksef {

namespace {

// 1-based positions, applied in this order to the growing text.
constexpr int kSpacePositions[] = {4, 8, 11, 14, 16, 21, 24, 27, 29, 34, 39, 44, 46};

KsefView* View(Program& program) { return program.sys.ksefView; }

}  // namespace

bool HasKsefShape(const std::string& text) { return text.size() == 35 && text[10] == '-' && text[19] == '-'; }

bool KsefChecksumOk(std::string_view number) {
    std::string text(number);
    if (text.size() == 36 && text[26] == '-') text.erase(26, 1);
    if (text.size() != 35) return false;
    unsigned crc = 0;
    for (std::size_t i = 0; i < 32; ++i) {
        crc ^= static_cast<unsigned char>(text[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80) ? ((crc << 1) ^ 0x07) & 0xFF : (crc << 1) & 0xFF;
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    return text[33] == kHex[crc >> 4] && text[34] == kHex[crc & 0x0F];
}

std::string KsefDisplayText(std::string_view number) {
    std::string text(number);
    for (int position : kSpacePositions) {
        const auto at = static_cast<std::size_t>(position - 1);
        // Only a space that lands before an existing character: a short text
        // gets no trailing spaces.
        if (at < text.size()) text.insert(at, 1, ' ');
    }
    return text;
}

int KsefFontPixels(int innerWidth, const std::function<int(int pixels)>& textWidth) {
    const int room = innerWidth - 4;
    int size = kKsefFontPixels;
    while (size > 8 && textWidth(size) > room) --size;
    return size;
}

void CaptureKsefText(Program& program, const std::string& text) {
    // A mistyped number would be booked by the sibling program and fail only
    // when the tax office matches buyer and seller: it is not passed on.
    if (HasKsefShape(text) && !KsefChecksumOk(text)) {
        ShowStatus(program, "B\xb3\xea" "dny numer KSeF w schowku");  // "Błędny numer KSeF w schowku"
        return;
    }
    KsefView* view = View(program);
    if (view) view->move(0, 0);
    WriteFile(kKsefFile, text);
    if (!view) return;
    view->setPanelText(KsefDisplayText(text));
    view->setClientSize(kKsefShownWidth, kKsefShownHeight);
    view->show();
}

void OnA(Program& program) { CaptureKsefText(program, program.sys.clipboard.text()); }

void OnC(Program& program) {
    if (KsefView* view = View(program)) view->hide();
}

void Test(Program& program) {
    // Any entry counts, as the sibling program sees it: a folder of that name
    // keeps the window open too.
    if (PatternMissing(kKsefFile)) OnC(program);
}

void CaptureKsefNumber(Program& program, const std::string& number) { CaptureKsefText(program, number); }

void CheckKsefFile(Program& program) { Test(program); }

void ConnectKsefWindow(Program& program) {
    KsefView* view = View(program);
    if (!view) return;
    view->setEvents(KsefEvents{[&program] { OnA(program); }, [&program] { OnC(program); }});
}

}  // namespace vel::ksef
