#pragma once
// Code 39 as published: every character as its 12 modules, 1 a bar module and
// 0 a space module, written out here independently of the program's table.

#include <map>
#include <string>
#include <string_view>

namespace vel::labels::test {

inline const std::map<char, std::string>& PublishedCode39() {
    static const std::map<char, std::string> kModules = {
        {'*', "100101101101"}, {'0', "101001101101"}, {'1', "110100101011"}, {'2', "101100101011"},
        {'3', "110110010101"}, {'4', "101001101011"}, {'5', "110100110101"}, {'6', "101100110101"},
        {'7', "101001011011"}, {'8', "110100101101"}, {'9', "101100101101"}, {'A', "110101001011"},
        {'B', "101101001011"}, {'C', "110110100101"}, {'D', "101011001011"}, {'E', "110101100101"},
        {'F', "101101100101"}, {'G', "101010011011"}, {'H', "110101001101"}, {'I', "101101001101"},
        {'J', "101011001101"}, {'K', "110101010011"}, {'L', "101101010011"}, {'M', "110110101001"},
        {'N', "101011010011"}, {'O', "110101101001"}, {'P', "101101101001"}, {'Q', "101010110011"},
        {'R', "110101011001"}, {'S', "101101011001"}, {'T', "101011011001"}, {'U', "110010101011"},
        {'V', "100110101011"}, {'W', "110011010101"}, {'X', "100101101011"}, {'Y', "110010110101"},
        {'Z', "100110110101"}, {'-', "100101011011"}, {'.', "110010101101"}, {' ', "100110101101"},
        {'$', "100100100101"}, {'/', "100100101001"}, {'+', "100101001001"}, {'%', "101001001001"},
    };
    return kModules;
}

// The whole symbol for an upper-case text of table characters, as '|' and '.'
// modules: start, the characters, stop, one narrow space between characters.
inline std::string PublishedSymbol(std::string_view text) {
    const auto& table = PublishedCode39();
    std::string bits = table.at('*') + "0";
    for (char c : text) bits += table.at(c) + "0";
    bits += table.at('*');
    for (char& b : bits) b = b == '1' ? '|' : '.';
    return bits;
}

}  // namespace vel::labels::test
