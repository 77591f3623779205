#pragma once
// The inputs of a JPK run: the request lines of "Wykon.to!" with their key
// lookup, the values derived from the base name (period, schema variant,
// quarter, month bases) and the register buffer that the register writers
// take apart element by element.

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vel::jpk {

// Schema generation chosen by the period: A JPK_VAT(3); B and C JPK_V7M(1) /
// JPK_V7K(1) with the tns: prefix; D JPK_V7M(2) / JPK_V7K(2); E JPK_V7M(3) /
// JPK_V7K(3), the only structures the gateway takes for periods from 2026-02.
enum class Variant { A, B, C, D, E };

inline constexpr int kRequestLineCount = 199;
inline constexpr std::size_t kKeyValueLimit = 250;
inline constexpr std::size_t kMissingLettersLimit = 6;

// The lines of one request, numbered 1..199; lines beyond the last are empty.
class RequestLines {
public:
    // Takes the lines of a request file (CR LF, LF or CR line ends). Returns
    // false when the file had more lines than the table holds: the first 199
    // are kept.
    bool Load(std::string_view text);
    void Set(int n, std::string text);

    // Line n (1-based); empty outside 1..199.
    const std::string& Line(int n) const;
    // Drops lines from the front; the freed lines at the end become empty.
    void DropFront(int count = 1);
    bool FirstThreeEmpty() const;

    // Value of the last line that begins with the key (from column 5, at most
    // 250 characters), or "BRAK" when no line does.
    std::string LookupKey(std::string_view key) const;

private:
    std::array<std::string, kRequestLineCount> lines_;
};

// A decimal number with '.' and an optional sign; anything that does not read
// as a whole (also "BRAK" and the empty text) is 0.
double ParseAmount(std::string_view text);
// The amount between the first '>' and the first "</" of a leaf element.
double ElementAmount(std::string_view element);
// Field 1..3 of a comma-separated value, trimmed of spaces; empty when absent.
std::string NameField(std::string_view value, int index);

// The period "yyyy-mm" of a base name: 7 characters, starting 9 characters
// after the backslash of "\JPK_VAT" (from character 9 when there is none).
std::string PeriodOf(std::string_view base);
Variant VariantOf(std::string_view period);
// '1'..'4' for March, June, September, December; '0' for other months.
char QuarterDigit(std::string_view period);
std::string FirstDayText(std::string_view period);
std::string LastDayText(std::string_view period);
// The base names whose register files are read, earliest first: the base
// alone, or the three months of the quarter for a quarterly filer at the
// quarter's last month. The month digits are the 10th and 9th characters
// from the end of the base name.
std::vector<std::string> MonthBases(const std::string& base, bool quarterly, char quarterDigit);
std::string RegisterFileName(std::string_view monthBase, char letter);
// Appends a letter once; at most 6 letters are kept.
void AddMissingLetter(std::string& list, char letter);

inline bool Contains(std::string_view text, std::string_view what) {
    return text.find(what) != std::string_view::npos;
}

// Deletes every "tns:".
void StripTns(std::string& text);
// Deletes every occurrence of `what`.
void EraseAll(std::string& text, std::string_view what);

// The whole text of one register file, consumed from the front by
// NextElement. A read position instead of erasing keeps the consumption
// linear in the size of the file.
class RegisterBuffer {
public:
    void Assign(std::string_view bytes);
    // Room for at least `capacity` bytes after the current end, for a reader
    // to fill and then Grow() over; the bytes are not initialised.
    char* Reserve(std::size_t capacity);
    void Grow(std::size_t count) { size_ += count; }
    // To be called once the buffer is filled: notes whether any "tns:" or
    // typ="G" is there to strip at all.
    void Survey() {
        hasTns_ = hasTyp_ = false;
        SurveyFrom(0);
    }
    // The same for the bytes from `from` on, while a reader fills the buffer
    // block by block (each block is looked at while it is still in the cache).
    void SurveyFrom(std::size_t from);
    std::size_t Size() const { return size_; }
    void Rewind() { pos_ = 0; }
    // Empties the buffer; its memory stays for the next file, so that reading
    // file after file does not fault fresh pages in each time.
    void Clear() {
        size_ = pos_ = 0;
        hasTns_ = hasTyp_ = false;
    }
    void Release() {
        data_.reset();
        size_ = capacity_ = pos_ = 0;
    }
    bool Empty() const { return pos_ >= size_; }

    // The next start or end tag, or a leaf element as one line (start tag,
    // text, end tag) without "tns:" and without typ="G"; the empty text when
    // the buffer is used up or broken. The text stays valid until the next call.
    const std::string& NextElement();
    // Moves the read position to the tag in which `mark` first occurs (the
    // last '<' before it), or to the end when it does not occur. Elements
    // before that tag cannot contain the mark, so a search for the first
    // element that does may start there.
    void SkipToTagOf(std::string_view mark);

private:
    std::string_view Text() const { return std::string_view(data_.get(), size_); }
    std::size_t Find(char c) const { return Text().find(c, pos_); }
    std::size_t Find(std::string_view s) const { return Text().find(s, pos_); }
    void EndNow() { pos_ = size_; }

    std::unique_ptr<char[]> data_;  // not a string: filling it needs no zeroing first
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t pos_ = 0;
    std::string element_;
    bool hasTns_ = true;
    bool hasTyp_ = true;
    // Whether the text holds `mark` with its character at `anchor` (a rare
    // one) at or after `from`.
    bool Holds(std::string_view mark, std::size_t anchor, std::size_t from) const;
};

}  // namespace vel::jpk
