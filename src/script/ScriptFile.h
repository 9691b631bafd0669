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
template <class Lines> std::string joinScriptLines(const Lines &lines)
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

// Reads a file whole into `bytes`: CannotOpen, and NoMemory for a file too
// large to hold, leave nothing; ReadError keeps the bytes read before it.
LoadResult::Status readScriptBytes(const std::string &path, const FileSystem &fs, ByteBlock &bytes);

// Reads a lyrics text or a WRD script, header rule applied.
LoadResult loadScriptFile(const std::string &path, const FileSystem &fs = FileSystem::current());

enum class SaveStatus {
    Ok,
    CannotOpen,  // the target cannot be written: nothing was touched
    WriteFailed, // writing the new content failed
};

// What a save did, and where and why it failed.
struct SaveResult {
    enum class Step { None, Open, CreateTemp, Write, Sync, Close, Rename };
    SaveStatus status = SaveStatus::Ok;
    Step step = Step::None;
    int error = 0;        // errno of the failing step, 0 when unknown
    bool inPlace = false; // the file itself was written over
};

// Saves the lines, each ended by CR LF. Where it is possible and loses
// nothing, the lines go to a temporary file beside the target, flushed to
// disk and renamed over it (a symbolic link is followed; the file keeps its
// permission bits and owner), so a failure leaves the old file whole. A target
// that a new file cannot replace without loss is written in place and flushed:
// a file with several hard links, a pipe or a device, a file with an ACL or
// extended attributes, one whose owner this process cannot give a new file,
// and a file in a folder that takes no new files.
SaveResult saveScript(const std::string &path, const ScriptLines &lines,
                      const FileSystem &fs = FileSystem::current());
// Writes the bytes so that `path` holds either its old content or the new one
// whole: a temporary file beside it, flushed, renamed over it, the folder
// flushed. A failure leaves the old file and no temporary file.
SaveResult writeFileAtomically(const std::string &path, std::string_view bytes,
                               const FileSystem &fs = FileSystem::current());
// The same, reporting the status only.
SaveStatus saveScriptFile(const std::string &path, const ScriptLines &lines,
                          const FileSystem &fs = FileSystem::current());
// The message for a failed save (UTF-8): the fixed message, the file, and
// which step failed and why.
std::string saveFailureMessage(const SaveResult &result, const std::string &path);
// Its parts: the fixed message (whether the old file is whole), and which
// step failed and why (empty when unknown).
const char *messageFor(const SaveResult &result);
std::string saveFailureReason(const SaveResult &result);

// Message for a status, in the program's language (UTF-8); empty for Ok.
const char *messageFor(LoadResult::Status status);
const char *messageFor(SaveStatus status);

} // namespace velkan
