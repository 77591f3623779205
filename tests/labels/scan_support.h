#pragma once
// Puts printed stickers in front of a real barcode reader: zbarimg from the
// zbar tools, asked for Code 39 only.

#include "support/fake_platform.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vel::labels::test {

bool ZbarAvailable();

// The Code 39 symbols zbarimg reads in each of the images, in one run of it.
std::vector<std::vector<std::string>> ScanImages(const std::vector<std::filesystem::path>& images);

// Paints the bars of a recorded page into a grey-scale image of the page's
// size in device pixels (texts are left out: they sit above the bars on their
// own white boxes) and writes it as a binary PGM. Only the rows of the bars
// and a margin above and below are kept: the reader scans along the rows.
void WritePagePgm(const platform::FakePage& page, int width, int height, const std::filesystem::path& file);

}  // namespace vel::labels::test
