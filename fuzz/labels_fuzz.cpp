// Any bytes as a label job file: the header and record parsing, the Code 39
// modules and both sticker layouts on a canvas that only measures. The
// parsed values must keep their promises; nothing may crash or overflow.
#include "labels/code39.h"
#include "labels/label_file.h"
#include "labels/label_layout.h"
#include "platform/canvas.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace vel;

// Fixed-pitch metrics like a real "Courier New": 0.6 of the height a character.
class MeasuringCanvas : public platform::Canvas {
public:
    explicit MeasuringCanvas(int dpi) : dpi_(dpi) {}
    int textWidth(const platform::Font& font, std::string_view text) override {
        const long long w = static_cast<long long>(text.size()) * (font.sizePt * 6LL * dpi_ / 720);
        return static_cast<int>(std::min<long long>(w, INT_MAX));
    }
    int textHeight(const platform::Font& font, std::string_view) override {
        return static_cast<int>(font.sizePt * static_cast<long long>(dpi_) / 72);
    }
    void drawText(platform::Point, std::string_view text, const platform::Font&) override { texts += text.size(); }
    void drawLine(platform::Point, platform::Point, const platform::Pen&) override {}
    void drawPolyline(const std::vector<platform::Point>&, const platform::Pen&) override {}
    void drawPolygon(const std::vector<platform::Point>&, platform::Color, const platform::Pen&) override {}
    void fillRect(platform::Point a, platform::Point b, platform::Color) override {
        if (b.x < a.x && !barsMayRunBackwards) __builtin_trap();
        ++bars;
    }
    std::size_t texts = 0;
    std::size_t bars = 0;
    bool barsMayRunBackwards = false;

private:
    int dpi_;
};

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

void CheckField(const std::string& f) {
    Check(f.find('\t') == std::string::npos);
    Check(f.empty() || (f.front() != ' ' && f.back() != ' '));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    static const int kDpis[] = {72, 96, 144, 200, 300, 600, 1200, 2400, 4800, 65535};
    const int dpi = kDpis[size ? data[0] % std::size(kDpis) : 5];
    const double ppm = dpi / 25.4;
    const int pageWidth = static_cast<int>(8.3 * dpi), pageHeight = static_cast<int>(11.7 * dpi);

    labels::LineReader lines(bytes);
    std::string line;
    lines.next(line);
    const labels::LabelHeader header = labels::ReadLabelHeader(line);
    Check(header.title.find(' ') == std::string::npos);

    const labels::StickerFrame clp6 = labels::Clp6Frame(header, ppm, pageHeight);
    const auto general = labels::GeneralFrame(header, ppm, pageWidth);
    if (general) Check(general->right >= general->left + 100);

    MeasuringCanvas canvas(dpi);
    // Inner margins wider than the label turn its width negative.
    canvas.barsMayRunBackwards = general && general->full < 0;
    if (general) labels::DrawLabelOutline(canvas, *general, ppm);

    int records = 0;
    while (lines.next(line) && records++ < 200) {
        const labels::LabelRecord r = labels::ReadLabelRecord(line);
        for (int i = 1; i <= 5; ++i) CheckField(r.field[i]);
        const std::string modules = labels::Code39Modules(r.field[1]);
        Check(modules.size() == 13 * r.field[1].size() + 25);
        Check(modules.find_first_not_of("|.") == std::string::npos);
        labels::DrawSticker(canvas, clp6, r.field[1], r.field[2], r.field[3]);
        if (general) labels::DrawSticker(canvas, *general, r.field[1], r.field[2], r.field[3]);
    }
    return 0;
}
