#pragma once
// The record of one PCL job: the open job file, the parser's last item, the
// page model and the job driver's bookkeeping. Every renderer operation works
// on it; the job driver creates one per job.

#include "platform/canvas.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vel {
class Program;
}

namespace vel::pcl {

inline constexpr const char* kDefaultJobTitle = "Mirva-Vel";
inline constexpr const char* kPrinterFontName = "Courier New";
inline constexpr const char* kMinFile = "Min.{-}";
inline constexpr const char* kSettingsFile = "Set.{-}";
inline constexpr const char* kCharTraceFile = "Raport-T.{-}";
inline constexpr const char* kLogFile = "Vel.Log";

// The job file opened as single bytes, read through a block buffer.
class JobInput {
public:
    JobInput() = default;
    ~JobInput();
    JobInput(const JobInput&) = delete;
    JobInput& operator=(const JobInput&) = delete;

    // Silent: false when the file cannot be opened for reading.
    bool open(const std::string& name);
    bool isOpen() const { return file_ != nullptr; }
    // Size in bytes at the time of the call, capped to what an int32 holds.
    std::int32_t size() const;
    // Raises IoError when the file cannot deliver the byte (read error, or
    // the file shrank under the reader).
    unsigned char next() {
        if (pos_ < len_) return buf_[pos_++];
        return refill();
    }
    void close();

private:
    unsigned char refill();
    std::FILE* file_ = nullptr;
    std::string name_;
    std::vector<unsigned char> buf_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
};

struct PclJobState {
    explicit PclJobState(Program& p) : program(p) {}
    Program& program;

    // Parser.
    JobInput input;
    std::int32_t BytesLeft = 0;
    std::uint8_t CurrentByte = 0;
    std::string CommandEcho;
    double ParamValue = 0;
    std::string JobLine;

    // Page model, positions in device pixels (PenX and Hmi in 1/1000 pixel).
    std::int32_t PenX = 1;
    std::int32_t PenY = 0;
    std::int32_t Hmi = 1000;
    std::int32_t Vmi = 1;
    std::int32_t TextAreaWidth = 0;
    std::int32_t TextAreaHeight = 0;
    std::int32_t OffsetX = 0;
    std::int32_t OffsetY = 0;
    std::int32_t RightLimit = 0;
    std::int32_t Density = 300;
    std::int32_t LeftColumns = 0;
    bool Bold = false;
    bool Italic = false;
    std::int32_t SymbolSet = 17;
    std::int32_t SpaceRun = 0;
    bool TraceOn = false;
    std::int32_t LeftMarginMm = 12;
    std::int32_t MarginMm = 10;
    std::int32_t TopMarginMm = 10;
    std::string FontName = kPrinterFontName;
    int FontSize = 9;
    platform::Font CellFont;  // FontName, FontSize and style as last handed to the canvas
    std::uint16_t DevicePageWidth = 0;
    std::uint16_t DevicePageHeight = 0;

    // Job driver.
    std::string JobFile;
    bool DeleteAfter = false;
    std::string JobTitle = kDefaultJobTitle;
    std::string DocumentTitle = kDefaultJobTitle;  // what the next beginDoc passes
    std::int32_t MinIndent = 99;
    std::int32_t MaxLineLength = 0;
    bool MinFileUsed = false;
    std::int32_t PageNumber = 1;
};

}  // namespace vel::pcl
