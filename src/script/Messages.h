#pragma once

// The program's own messages (UTF-8), shared by the editor and the command-line tool.
namespace velkan::messages {

inline constexpr const char *kCannotOpenInput = "入力ファイルが開けません";
inline constexpr const char *kCannotOpenWrd = "WRDファイルが開けません";
inline constexpr const char *kNoMemory = "メモリの確保に失敗";
inline constexpr const char *kReadErrorPartial =
    "ファイルの途中で読み込みエラーが発生しました。読み込めた行までを読み込みました。";
inline constexpr const char *kWriteFailed =
    "WRDファイルの書き込みに失敗しました。元のファイルはそのまま残っています。";
inline constexpr const char *kNoLyrics = "この曲には歌詞がありません";
inline constexpr const char *kNotOneLine =
    "改行やCtrl-Z (0x1A) を含むテキストは1行に入れられません。";

} // namespace velkan::messages
