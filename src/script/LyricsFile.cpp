#include "script/LyricsFile.h"

#include <new>

namespace velkan {

LyricsLoadResult loadLyricsFile(const std::string &path, const FileSystem &fs)
{
    LyricsLoadResult result;
    try {
        ByteBlock bytes;
        result.status = readScriptBytes(path, fs, bytes);
        if (result.status == LoadResult::Status::CannotOpen ||
            result.status == LoadResult::Status::NoMemory)
            return result;
        result.encoding = detectTextEncoding(bytes.view());
        if (result.encoding == TextEncoding::ShiftJis) {
            result.lines = ScriptLines::fromBlock(std::move(bytes));
        } else {
            ShiftJisConversion converted = convertToShiftJis(bytes.view(), result.encoding);
            if (converted.problem) {
                result.problem = converted.problem;
                return result;
            }
            // The file's own bytes are not needed past this point.
            bytes = ByteBlock();
            result.lines = ScriptLines::fromText(std::move(converted.bytes));
        }
        addDefaultHeaderIfNeeded(result.lines);
    } catch (const std::bad_alloc &) {
        result = {};
        result.status = LoadResult::Status::NoMemory;
    }
    return result;
}

} // namespace velkan
