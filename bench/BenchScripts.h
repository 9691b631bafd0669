#pragma once

// The script the benchmarks load: about 30 bytes a line, timing lines (the
// odd ones) and Shift-JIS lyrics. `variant` changes the lyrics so that two
// scripts differ.

#include <string>

namespace velkan::bench {

inline std::string makeScript(int lines, int variant = 0)
{
    std::string text = "@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS()\r\n";
    for (int i = 1; i < lines; ++i) {
        if (i % 2)
            text += "@WAIT(" + std::to_string(i / 8 + 1) + "," + std::to_string((i % 4) * 48) +
                    ");   \r\n";
        else
            text += "\x89\xCC\x8E\x8C\x82\xCC\x8D\x73 lyric line " +
                    std::to_string((i + variant) % 10000) + "\r\n";
    }
    return text;
}

} // namespace velkan::bench
