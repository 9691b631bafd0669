#pragma once

// Scripts no author means to write, shared by the hostile-input tests.
#include "script/ScriptFile.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace velkan::test {

inline std::vector<ScriptLine> withHeader(std::vector<ScriptLine> body)
{
    std::vector<ScriptLine> lines = kDefaultHeader;
    lines.insert(lines.end(), body.begin(), body.end());
    lines.emplace_back(kClosingLine);
    return lines;
}

struct HostileScript {
    const char *name;
    std::function<std::string()> bytes;
    std::function<std::vector<ScriptLine>()> lines; // what the load must give
    int editRow;                                    // a hostile line to edit
};

// Test names and ctest lines show the script's name, not its bytes.
inline void PrintTo(const HostileScript &script, std::ostream *os)
{
    *os << script.name;
}

inline std::string millionLines()
{
    std::string text;
    text.reserve(3'000'000);
    for (int i = 0; i < 1'000'000; ++i) {
        text += 'l';
        text += static_cast<char>('0' + i % 10);
        text += '\n';
    }
    return text;
}

// 10 MB of Shift-JIS: "歌詞" and ASCII, on one line.
inline std::string tenMegabyteLine()
{
    std::string line;
    line.reserve(10'000'000);
    while (line.size() < 10'000'000)
        line += "\x89\xCC\x8E\x8C lyric ";
    return line;
}

inline const HostileScript kHostileScripts[] = {
    {"NulBytes", [] { return std::string("@A\0B\r\n\0\r\nC", 10); },
     [] {
         return std::vector<ScriptLine>{std::string("@A\0B", 4), std::string(1, '\0'), "C"};
     },
     1},
    {"TenMegabyteLine", [] { return "@LONG\r\n" + tenMegabyteLine() + "\r\n"; },
     [] {
         return std::vector<ScriptLine>{"@LONG", tenMegabyteLine()};
     },
     1},
    {"MillionLines", millionLines,
     [] {
         std::vector<ScriptLine> body;
         body.reserve(1'000'000);
         for (int i = 0; i < 1'000'000; ++i)
             body.push_back({'l', static_cast<char>('0' + i % 10)});
         return withHeader(std::move(body));
     },
     500'000},
    {"OnlyCtrlZ", [] { return std::string("\x1A"); }, [] { return withHeader({}); }, 4},
    {"InvalidShiftJis", [] { return std::string("@\x81\r\n\xFF\xFE\x80\xA0\x81\x7F\r\n\x82"); },
     [] {
         return std::vector<ScriptLine>{"@\x81", "\xFF\xFE\x80\xA0\x81\x7F", "\x82"};
     },
     1},
    {"LineFeedsOnly", [] { return std::string("@a\nb\n\nc"); },
     [] {
         return std::vector<ScriptLine>{"@a", "b", "", "c"};
     },
     1},
    {"CarriageReturnsOnly", [] { return std::string("@a\rb\rc\r"); },
     [] { return std::vector<ScriptLine>{"@a\rb\rc\r"}; }, 0},
};

} // namespace velkan::test
