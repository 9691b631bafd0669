#include "script/ScriptFile.h"

#include "script/Messages.h"

#include <new>

namespace velkan {

const std::vector<ScriptLine> kDefaultHeader = {
    "@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS();",
    "@PAL(#1,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);",
    "@PAL(#2,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff);",
    "@PAL(#3,000,e00,0e0,00e,ee0,e0e,0ee,7e0,07e,70e,e70,0e7,e07,f7b,bf7,7bf);",
};

ScriptLines splitScriptText(std::string_view text)
{
    return ScriptLines::fromText(std::string(text));
}

void addDefaultHeaderIfNeeded(ScriptLines &lines)
{
    if (!lines.empty() && !lines.front().empty() && lines.front()[0] == '@')
        return;
    lines.insert(0, kDefaultHeader);
    lines.push_back(kClosingLine);
}

namespace {

// Writes every line with its CR LF through a buffer of a fixed size, so a
// long script is never built as one more copy in memory before it is written.
// Long stretches of lines that stand as they were loaded go out straight from
// the loaded text.
bool writeScriptLines(int fd, const ScriptLines &lines, const FileSystem &fs)
{
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    constexpr std::size_t kDirectFrom = std::size_t{1} << 16;
    std::string buffer;
    buffer.reserve(kChunk);
    const auto flush = [&] {
        const bool ok = buffer.empty() || fs.write(fd, buffer);
        buffer.clear();
        return ok;
    };
    for (std::size_t i = 0; i < lines.size();) {
        if (const std::size_t run = lines.loadedRun(i); run > 0) {
            const std::string_view last = lines[i + run - 1];
            const std::string_view stretch(lines[i].data(),
                                           static_cast<std::size_t>(last.data() + last.size() + 2 -
                                                                    lines[i].data()));
            i += run;
            if (stretch.size() >= kDirectFrom) {
                if (!flush() || !fs.write(fd, stretch))
                    return false;
                continue;
            }
            if (stretch.size() > kChunk - buffer.size() && !flush())
                return false;
            buffer.append(stretch);
            continue;
        }
        const std::string_view line = lines[i++];
        if (line.size() + 2 > kChunk - buffer.size()) {
            if (!flush())
                return false;
            if (line.size() + 2 > kChunk) {
                // A line longer than the buffer goes out as it stands.
                if (!fs.write(fd, line) || !fs.write(fd, "\r\n"))
                    return false;
                continue;
            }
        }
        buffer.append(line);
        buffer.append("\r\n", 2);
    }
    return flush();
}

} // namespace

LoadResult loadScriptFile(const std::string &path, const FileSystem &fs)
{
    LoadResult result;
    // A file too large to hold (any file may be picked) is refused with a
    // message rather than filling the memory or ending the program.
    try {
        ByteBlock bytes;
        switch (fs.readAll(path, bytes)) {
        case FileSystem::ReadStatus::CannotOpen:
            result.status = LoadResult::Status::CannotOpen;
            return result;
        case FileSystem::ReadStatus::TooLarge:
            result.status = LoadResult::Status::NoMemory;
            return result;
        case FileSystem::ReadStatus::ReadError:
            result.status = LoadResult::Status::ReadError;
            break;
        case FileSystem::ReadStatus::Ok:
            break;
        }
        result.lines = ScriptLines::fromBlock(std::move(bytes));
        addDefaultHeaderIfNeeded(result.lines);
    } catch (const std::bad_alloc &) {
        result = {};
        result.status = LoadResult::Status::NoMemory;
    }
    return result;
}

SaveStatus saveScriptFile(const std::string &path, const ScriptLines &lines,
                          const FileSystem &fs)
{
    const std::string target = fs.resolveTarget(path);
    if (!fs.canWrite(target))
        return SaveStatus::CannotOpen;
    const auto slash = target.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));

    std::string temp;
    const int fd = fs.createTemp(folder, temp);
    if (fd < 0)
        return SaveStatus::CannotOpen;
    const bool written = writeScriptLines(fd, lines, fs) &&
                         fs.setPermissions(fd, fs.permissionsOf(target)) && fs.sync(fd);
    const bool closed = fs.close(fd);
    if (!written || !closed || !fs.rename(temp, target)) {
        fs.remove(temp);
        return SaveStatus::WriteFailed;
    }
    fs.syncFolder(folder);
    return SaveStatus::Ok;
}

const char *messageFor(LoadResult::Status status)
{
    switch (status) {
    case LoadResult::Status::Ok:
        return "";
    case LoadResult::Status::CannotOpen:
        return messages::kCannotOpenInput;
    case LoadResult::Status::ReadError:
        return messages::kReadErrorPartial;
    case LoadResult::Status::NoMemory:
        return messages::kNoMemory;
    }
    return "";
}

const char *messageFor(SaveStatus status)
{
    switch (status) {
    case SaveStatus::Ok:
        return "";
    case SaveStatus::CannotOpen:
        return messages::kCannotOpenWrd;
    case SaveStatus::WriteFailed:
        return messages::kWriteFailed;
    }
    return "";
}

} // namespace velkan
