#pragma once

#include "script/FileSystem.h"
#include "script/ScriptList.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// The four lines a bare lyrics text is given at the top, and its last line.
extern const std::vector<ScriptLine> kDefaultHeader;
inline constexpr const char *kClosingLine = "@END();";

// Splits file text into lines: CR LF or a lone LF ends a line (a lone CR is
// kept as a byte of its line), and a Ctrl-Z ends the text.
ScriptLines splitScriptText(std::string_view text);

// A script that does not begin with a command line ("@") gets the default
// header and the closing line; an empty one too.
void addDefaultHeaderIfNeeded(ScriptLines &lines);

// Every line followed by CR LF.
template <class Lines>
std::string joinScriptLines(const Lines &lines)
{
    std::size_t total = 0;
    for (std::string_view line : lines)
        total += line.size() + 2;
    std::string out;
    out.reserve(total);
    for (std::string_view line : lines) {
        out.append(line);
        out.append("\r\n", 2);
    }
    return out;
}

struct LoadResult {
    enum class Status { Ok, CannotOpen, ReadError, NoMemory };
    Status status = Status::Ok;
    ScriptLines lines; // on ReadError: the lines read before it; on NoMemory: none
};

// Reads a lyrics text or a WRD script, header rule applied.
LoadResult loadScriptFile(const std::string &path, const FileSystem &fs = FileSystem::current());

enum class SaveStatus {
    Ok,
    CannotOpen,  // the target cannot be written: nothing was touched
    WriteFailed, // writing the new content failed: the old file is whole
};

// Writes the lines to a temporary file beside the target, flushes it to disk
// and renames it over the target (a symbolic link is followed, the file keeps
// its permission bits), so a failure never leaves a half-written script.
SaveStatus saveScriptFile(const std::string &path, const ScriptLines &lines,
                          const FileSystem &fs = FileSystem::current());

// Message for a status, in the program's language (UTF-8); empty for Ok.
const char *messageFor(LoadResult::Status status);
const char *messageFor(SaveStatus status);

} // namespace velkan
