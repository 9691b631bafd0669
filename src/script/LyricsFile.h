#pragma once

#include "script/FileSystem.h"
#include "script/ScriptFile.h"
#include "script/TextEncoding.h"

#include <optional>
#include <string>

namespace velkan {

struct LyricsLoadResult {
    LoadResult::Status status = LoadResult::Status::Ok;
    ScriptLines lines; // as LoadResult's; none when there is a problem
    // What the file was read as; anything but Shift-JIS was converted.
    TextEncoding encoding = TextEncoding::ShiftJis;
    // Set when a Unicode file could not be converted: nothing was loaded.
    std::optional<ConversionProblem> problem;
};

// "歌詞読込": reads a lyrics text or a WRD script. A file that detectTextEncoding
// finds to be Unicode is converted to Shift-JIS first; a Shift-JIS file is
// read byte for byte, as loadScriptFile reads it. Then the load rule: line
// ends, Ctrl-Z, and the header for a text that does not begin with "@".
LyricsLoadResult loadLyricsFile(const std::string &path,
                                const FileSystem &fs = FileSystem::current());

} // namespace velkan
