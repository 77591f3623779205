#pragma once
// Line reading as the receipt files are read: a line ends at CR LF, LF or a
// lone CR; a line end at the very end of the bytes starts no further line.

#include <string_view>
#include <vector>

namespace vel::receipts {

inline std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = start;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        lines.push_back(bytes.substr(start, end - start));
        if (end < bytes.size() && bytes[end] == '\r') ++end;
        else if (end < bytes.size()) ++end;  // '\n'
        else break;
        if (bytes[end - 1] == '\r' && end < bytes.size() && bytes[end] == '\n') ++end;
        start = end;
    }
    return lines;
}

}  // namespace vel::receipts
