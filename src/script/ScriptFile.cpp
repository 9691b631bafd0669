#include "script/ScriptFile.h"

#include "script/Messages.h"

#include <algorithm>

namespace velkan {

const std::vector<ScriptLine> kDefaultHeader = {
    "@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS()",
    "@PAL(#1,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);",
    "@PAL(#2,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff,fff);",
    "@PAL(#3,000,e00,0e0,00e,ee0,e0e,0ee,7e0,07e,70e,e70,0e7,e07,f7b,bf7,7bf);",
};

std::vector<ScriptLine> splitScriptText(std::string_view text)
{
    if (const auto eof = text.find('\x1A'); eof != std::string_view::npos)
        text = text.substr(0, eof);
    std::vector<ScriptLine> lines;
    lines.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last)
            end = text.size();
        std::size_t stop = end;
        if (!last && stop > start && text[stop - 1] == '\r')
            --stop;
        lines.emplace_back(text.substr(start, stop - start));
        start = last ? end : end + 1;
    }
    return lines;
}

void addDefaultHeaderIfNeeded(std::vector<ScriptLine> &lines)
{
    if (!lines.empty() && !lines.front().empty() && lines.front()[0] == '@')
        return;
    lines.insert(lines.begin(), kDefaultHeader.begin(), kDefaultHeader.end());
    lines.emplace_back(kClosingLine);
}

std::string joinScriptLines(const std::vector<ScriptLine> &lines)
{
    std::size_t total = 0;
    for (const auto &l : lines)
        total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto &l : lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

LoadResult loadScriptFile(const std::string &path, const FileSystem &fs)
{
    LoadResult result;
    std::string bytes;
    switch (fs.readAll(path, bytes)) {
    case FileSystem::ReadStatus::CannotOpen:
        result.status = LoadResult::Status::CannotOpen;
        return result;
    case FileSystem::ReadStatus::ReadError:
        result.status = LoadResult::Status::ReadError;
        break;
    case FileSystem::ReadStatus::Ok:
        break;
    }
    result.lines = splitScriptText(bytes);
    addDefaultHeaderIfNeeded(result.lines);
    return result;
}

SaveStatus saveScriptFile(const std::string &path, const std::vector<ScriptLine> &lines,
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
    const bool written = fs.write(fd, joinScriptLines(lines)) &&
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
