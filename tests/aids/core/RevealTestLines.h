#pragma once

#include <string>

namespace velkan::test {

// Shift-JIS bytes of the texts the appear/erase tests use.
inline const std::string kAiu = "\x82\xA0\x82\xA2\x82\xA4"; // "あいう", 6 bytes
inline const std::string kEoSemi = "\x82\xA6\x82\xA8;";     // "えお;", 5 bytes
inline const std::string kEo = "\x82\xA6\x82\xA8";          // "えお"
// "@---------出現開始-------------;"
inline const std::string kAppearStart = "@---------\x8Fo\x8C\xBB\x8A"
                                        "J\x8En-------------;";
// "@----出現終了--"
inline const std::string kAppearEnd = "@----\x8Fo\x8C\xBB\x8F"
                                      "I\x97\xB9--";
// "@-------消去開始----;"
inline const std::string kEraseStart = "@-------\x8F\xC1\x8B\x8E\x8A"
                                       "J\x8En----;";
// "@----消去終了--"
inline const std::string kEraseEnd = "@----\x8F\xC1\x8B\x8E\x8F"
                                     "I\x97\xB9--";

} // namespace velkan::test
