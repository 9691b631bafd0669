#include "script/ScriptFile.h"

#include "script/Messages.h"

#include <cerrno>
#include <new>
#include <string>

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
            const std::string_view stretch(
                lines[i].data(),
                static_cast<std::size_t>(last.data() + last.size() + 2 - lines[i].data()));
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

LoadResult::Status readScriptBytes(const std::string &path, const FileSystem &fs, ByteBlock &bytes)
{
    switch (fs.readAll(path, bytes)) {
    case FileSystem::ReadStatus::CannotOpen:
        return LoadResult::Status::CannotOpen;
    case FileSystem::ReadStatus::TooLarge:
        return LoadResult::Status::NoMemory;
    case FileSystem::ReadStatus::ReadError:
        return LoadResult::Status::ReadError;
    case FileSystem::ReadStatus::Ok:
        break;
    }
    return LoadResult::Status::Ok;
}

LoadResult loadScriptFile(const std::string &path, const FileSystem &fs)
{
    LoadResult result;
    // A file too large to hold (any file may be picked) is refused with a
    // message rather than filling the memory or ending the program.
    try {
        ByteBlock bytes;
        result.status = readScriptBytes(path, fs, bytes);
        if (result.status == LoadResult::Status::CannotOpen ||
            result.status == LoadResult::Status::NoMemory)
            return result;
        result.lines = ScriptLines::fromBlock(std::move(bytes));
        addDefaultHeaderIfNeeded(result.lines);
    } catch (const std::bad_alloc &) {
        result = {};
        result.status = LoadResult::Status::NoMemory;
    }
    return result;
}

namespace {

SaveResult failed(SaveStatus status, SaveResult::Step step, int error, bool inPlace = false)
{
    return {status, step, error, inPlace};
}

// The folder a file is in, as a path to hand to the file system.
std::string folderOf(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// The rest of a replacement once the temporary file is made: its content
// written, flushed and closed, the file renamed over the target and the
// folder flushed. Any failure removes the temporary file and leaves the
// target as it was.
template <class Write>
SaveResult finishReplacement(int fd, const std::string &temp, const std::string &target,
                             const std::string &folder, const FileSystem &fs, Write write)
{
    using Step = SaveResult::Step;
    Step step = Step::None;
    int error = 0;
    errno = 0;
    if (!write())
        step = Step::Write;
    else if (!fs.sync(fd))
        step = Step::Sync;
    if (step != Step::None)
        error = errno;
    errno = 0;
    if (!fs.close(fd) && step == Step::None) {
        step = Step::Close;
        error = errno;
    }
    errno = 0;
    if (step == Step::None && !fs.rename(temp, target)) {
        step = Step::Rename;
        error = errno;
    }
    if (step != Step::None) {
        fs.remove(temp);
        return failed(SaveStatus::WriteFailed, step, error);
    }
    fs.syncFolder(folder);
    return {};
}

// Writes the lines over the existing file itself.
SaveResult saveInPlace(const std::string &target, bool regular, const ScriptLines &lines,
                       const FileSystem &fs)
{
    using Step = SaveResult::Step;
    errno = 0;
    const int fd = fs.openInPlace(target);
    if (fd < 0)
        return failed(SaveStatus::CannotOpen, Step::Open, errno);
    Step step = Step::None;
    int error = 0;
    errno = 0;
    if (!writeScriptLines(fd, lines, fs)) {
        step = Step::Write;
        error = errno;
    } else if (regular && !fs.sync(fd)) { // a pipe or a device has nothing to flush
        step = Step::Sync;
        error = errno;
    }
    if (!fs.close(fd) && step == Step::None) {
        step = Step::Close;
        error = errno;
    }
    if (step != Step::None)
        return failed(SaveStatus::WriteFailed, step, error, true);
    SaveResult ok;
    ok.inPlace = true;
    return ok;
}

} // namespace

SaveResult saveScript(const std::string &path, const ScriptLines &lines, const FileSystem &fs)
{
    using Step = SaveResult::Step;
    const std::string target = fs.resolveTarget(path);
    // Each step's errno is its own, never one left over from before.
    errno = 0;
    if (!fs.canWrite(target))
        return failed(SaveStatus::CannotOpen, Step::Open, errno);
    const FileSystem::TargetInfo info = fs.inspect(target);
    // A new file would split hard links, lose an ACL or attributes, or turn
    // a pipe or a device into a plain file.
    if (info.exists && (!info.regular || info.links > 1 || info.ownAttributes))
        return saveInPlace(target, info.regular, lines, fs);

    const std::string folder = folderOf(target);
    std::string temp;
    errno = 0;
    const int fd = fs.createTemp(folder, temp);
    if (fd < 0) {
        const int error = errno;
        // A folder that takes no new files: the file itself may still be written.
        if (info.exists)
            return saveInPlace(target, true, lines, fs);
        return failed(SaveStatus::CannotOpen, Step::CreateTemp, error);
    }
    // The new file takes the old one's owner; where this process may not give
    // it, the old file is written in place rather than change hands.
    if (info.exists && !fs.setOwner(fd, info.owner, info.group)) {
        fs.close(fd);
        fs.remove(temp);
        return saveInPlace(target, true, lines, fs);
    }
    return finishReplacement(fd, temp, target, folder, fs, [&] {
        return writeScriptLines(fd, lines, fs) && fs.setPermissions(fd, fs.permissionsOf(target));
    });
}

SaveResult writeFileAtomically(const std::string &path, std::string_view bytes,
                               const FileSystem &fs)
{
    const std::string folder = folderOf(path);
    std::string temp;
    errno = 0;
    const int fd = fs.createTemp(folder, temp);
    if (fd < 0)
        return failed(SaveStatus::CannotOpen, SaveResult::Step::CreateTemp, errno);
    return finishReplacement(fd, temp, path, folder, fs, [&] { return fs.write(fd, bytes); });
}

SaveStatus saveScriptFile(const std::string &path, const ScriptLines &lines, const FileSystem &fs)
{
    return saveScript(path, lines, fs).status;
}

namespace {

// Written over in place, the old content is gone as soon as writing starts.
constexpr const char *kWriteFailedInPlace =
    "WRDファイルの書き込みに失敗しました。ファイルは途中までしか書かれていない可能性があります。";

const char *stepText(SaveResult::Step step)
{
    using Step = SaveResult::Step;
    switch (step) {
    case Step::None:
        return "";
    case Step::Open:
        return "ファイルを書き込み用に開けませんでした";
    case Step::CreateTemp:
        return "フォルダーに新しいファイルを作れませんでした";
    case Step::Write:
        return "書き込みに失敗しました";
    case Step::Sync:
        return "ディスクへの書き出しに失敗しました";
    case Step::Close:
        return "ファイルを閉じる処理に失敗しました";
    case Step::Rename:
        return "元のファイルとの置き換えに失敗しました";
    }
    return "";
}

std::string reasonText(int error)
{
    switch (error) {
    case 0:
        return {};
    case ENOSPC:
        return "ディスクの空きがありません";
    case EDQUOT:
        return "ディスクの使用量の上限を超えました";
    case EACCES:
    case EPERM:
        return "アクセスが許可されていません";
    case EROFS:
        return "読み取り専用のファイルシステムです";
    case EIO:
        return "入出力エラーです";
    case ENOENT:
    case ENOTDIR:
        return "フォルダーがありません";
    case EISDIR:
        return "フォルダーです";
    case ENXIO:
        return "読み手のいないパイプか、つながっていない装置です";
    case ETXTBSY:
    case EBUSY:
        return "使用中です";
    default:
        return "エラー番号 " + std::to_string(error);
    }
}

} // namespace

const char *messageFor(const SaveResult &result)
{
    if (result.status == SaveStatus::WriteFailed && result.inPlace)
        return kWriteFailedInPlace;
    return messageFor(result.status);
}

std::string saveFailureReason(const SaveResult &result)
{
    if (result.status == SaveStatus::Ok || result.step == SaveResult::Step::None)
        return {};
    std::string reason = stepText(result.step);
    const std::string why = reasonText(result.error);
    if (!why.empty())
        reason += " (" + why + ")";
    return reason;
}

std::string saveFailureMessage(const SaveResult &result, const std::string &path)
{
    if (result.status == SaveStatus::Ok)
        return {};
    std::string message = messageFor(result);
    message += "\n";
    message += path;
    const std::string reason = saveFailureReason(result);
    if (!reason.empty())
        message += "\n" + reason;
    return message;
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
