#pragma once
// The label job file: a header line of numbers and a title, then one sticker
// record a line with five TAB-separated fields.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vel::labels {

// Takes the next number off the header text: the characters before it that
// are not digits go with it. " 0 " is appended first, so a header that has
// run out of numbers gives 0. The number keeps its low 16 bits.
std::uint16_t NextNumber(std::string& header);

// Takes the text up to the first TAB off the line (the TAB too) and returns
// it without its leading and trailing spaces. The last field needs no TAB.
std::string NextTabField(std::string& line);

struct LabelHeader {
    std::array<std::uint16_t, 18> n{};  // n[1]..n[17]; n[0] unused
    std::string title;
};

LabelHeader ReadLabelHeader(std::string line);

struct LabelRecord {
    std::array<std::string, 6> field;  // field[1]..field[5]; field[0] unused
    // Field 5 as a whole number; anything else asks for one copy.
    long long copies = 1;
};

LabelRecord ReadLabelRecord(std::string line);

// The lines of a job file held in memory: LF ends a line, a CR before it is
// dropped, a last line without LF still counts, and an LF at the very end
// starts no further line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : bytes_(bytes) {}
    bool atEnd() const { return pos_ >= bytes_.size(); }
    // False at the end of the file.
    bool next(std::string& line);

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

}  // namespace vel::labels
