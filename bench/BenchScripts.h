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

// A script that keeps the player's screen busy, as the preview shows it: per
// lyric a @WAIT, a @LOCATE, a @COLOR and the lyric (some of them running
// into the next row), and every 32 lyrics a @PAL and two @FADEs, each
// fade shown in steps.
inline std::string makeScreenScript(int lines)
{
    std::string text = "@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS();\r\n"
                       "@PAL(#1,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);"
                       "\r\n";
    const char *const lyrics[] = {"\x82\xa0\x82\xb3\x82\xcc \x82\xd0\x82\xa9\x82\xe8\x82\xaa",
                                  "lyric line with plain letters\tand a tab",
                                  "\x89\xCC\x8E\x8C\x82\xCC\x8D\x73"};
    int made = 2;
    for (int i = 0; made < lines; ++i) {
        text +=
            "@WAIT(" + std::to_string(2 + i / 2) + "," + std::to_string((i % 2) * 96) + ");\r\n";
        text +=
            "@LOCATE(" + std::to_string(1 + i % 24) + ";" + std::to_string(1 + i % 60) + ");\r\n";
        text += "@COLOR(3" + std::to_string(i % 8) + ");\r\n";
        text += std::string(lyrics[i % 3]) + "\r\n";
        made += 4;
        if (i % 32 == 31) {
            text += "@PAL(#2," + std::string(i % 64 == 63 ? "fff" : "888") +
                    ",f00,0f0,ff0,00f,f0f,0ff,fff,444,c44,4c4,cc4,44c,c4c,4cc,ccc);\r\n";
            text += "@FADE(0,1,20);\r\n@WAIT(" + std::to_string(2 + i / 2) + ",144);\r\n";
            text += "@FADE(1,2,12);\r\n";
            made += 4;
        }
    }
    return text;
}

} // namespace velkan::bench
