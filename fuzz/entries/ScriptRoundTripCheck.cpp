#include "FuzzEntries.h"

#include "script/FileSystem.h"
#include "script/ScriptFile.h"

#include <algorithm>
#include <map>

namespace velkan::fuzz {

namespace {

// Files in memory, so a fuzz run never touches the disk and the save's
// temporary-file-and-rename path runs as it does for real.
class MemoryFileSystem final : public FileSystem {
public:
    ReadStatus readAll(const std::string &path, ByteBlock &out) const override
    {
        const auto it = m_files.find(path);
        if (it == m_files.end())
            return ReadStatus::CannotOpen;
        out = ByteBlock(it->second);
        return ReadStatus::Ok;
    }
    std::string resolveTarget(const std::string &path) const override { return path; }
    bool canWrite(const std::string &) const override { return true; }
    int permissionsOf(const std::string &) const override { return -1; }
    int createTemp(const std::string &folder, std::string &tempPath) const override
    {
        const int fd = m_nextFd++;
        tempPath = folder + "/.temp" + std::to_string(fd);
        m_open[fd] = tempPath;
        m_files[tempPath].clear();
        return fd;
    }
    bool write(int fd, std::string_view data) const override
    {
        m_files[m_open.at(fd)] += data;
        return true;
    }
    bool sync(int) const override { return true; }
    bool setPermissions(int, int) const override { return true; }
    bool close(int fd) const override { return m_open.erase(fd) == 1; }
    bool rename(const std::string &from, const std::string &to) const override
    {
        const auto it = m_files.find(from);
        if (it == m_files.end())
            return false;
        m_files[to] = std::move(it->second);
        m_files.erase(from);
        return true;
    }
    void remove(const std::string &path) const override { m_files.erase(path); }
    void syncFolder(const std::string &) const override {}

    void put(const std::string &path, std::string_view bytes) { m_files[path] = bytes; }
    std::string contents(const std::string &path) const { return m_files.at(path); }
    std::size_t fileCount() const { return m_files.size(); }

private:
    mutable std::map<std::string, std::string> m_files;
    mutable std::map<int, std::string> m_open;
    mutable int m_nextFd = 3;
};

// A text the editor writes itself: a command first, CR LF after every line
// and nothing after the last one, no Ctrl-Z.
bool isSavedForm(std::string_view text)
{
    if (text.empty() || text[0] != '@' || !text.ends_with("\r\n"))
        return false;
    if (text.find('\x1A') != std::string_view::npos)
        return false;
    for (std::size_t i = text.find('\n'); i != std::string_view::npos; i = text.find('\n', i + 1)) {
        if (i == 0 || text[i - 1] != '\r')
            return false;
    }
    return true;
}

// Edits driven by the input's own bytes, made on the loaded lines and on a
// plain vector side by side; a copy taken half-way must not change.
std::string checkEdits(ScriptLines lines, std::string_view ops, MemoryFileSystem &fs)
{
    std::vector<ScriptLine> expected = lines.toVector();
    ScriptLines snapshot;
    std::vector<ScriptLine> snapshotExpected;
    ops = ops.substr(0, 64);
    for (std::size_t k = 0; k + 1 < ops.size(); k += 2) {
        const auto op = static_cast<unsigned char>(ops[k]) % 5;
        const std::size_t at = static_cast<unsigned char>(ops[k + 1]) % (expected.size() + 1);
        const bool inside = at < expected.size();
        // A new line is often a piece of a line already there.
        const ScriptLine piece = inside ? ScriptLine(lines[at].substr(lines[at].size() / 2)) : "@X";
        switch (op) {
        case 0:
            lines.insert(at,
                         inside ? lines[at].substr(lines[at].size() / 2) : std::string_view("@X"));
            expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), piece);
            break;
        case 1:
            if (inside) {
                lines.replace(at, lines[at].substr(lines[at].size() / 2));
                expected[at] = piece;
            }
            break;
        case 2:
            lines.erase(at, 2);
            expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(at),
                           expected.begin() +
                               static_cast<std::ptrdiff_t>(std::min(at + 2, expected.size())));
            break;
        case 3:
            lines.insert(at, std::vector<ScriptLine>{piece, "@Y"});
            expected.insert(expected.begin() + static_cast<std::ptrdiff_t>(at), {piece, "@Y"});
            break;
        default:
            snapshot = lines;
            snapshotExpected = expected;
            break;
        }
        if (lines != expected)
            return "an edit of the loaded lines went wrong";
    }
    if (snapshot != snapshotExpected)
        return "a copy of the lines changed with the original";
    // Stretches still as loaded are saved straight from the loaded text.
    if (saveScriptFile("/out/edited.wrd", lines, fs) != SaveStatus::Ok ||
        fs.contents("/out/edited.wrd") != joinScriptLines(expected))
        return "an edited script did not save as its lines with CR LF";
    return {};
}

} // namespace

std::string checkScriptRoundTrip(std::string_view bytes)
{
    const std::vector<ScriptLine> split = splitScriptText(bytes).toVector();
    for (const ScriptLine &line : split) {
        if (line.find('\n') != std::string::npos || line.find('\x1A') != std::string::npos)
            return "a line kept a line feed or a Ctrl-Z";
    }
    if (splitScriptText(joinScriptLines(split)) != split)
        return "split(join(lines)) changed the lines";

    MemoryFileSystem fs;
    fs.put("/in/script.txt", bytes);
    const LoadResult first = loadScriptFile("/in/script.txt", fs);
    if (first.status != LoadResult::Status::Ok)
        return "an in-memory load failed";
    if (first.lines.empty() || first.lines.front().empty() || first.lines.front()[0] != '@')
        return "a loaded script does not begin with a command";

    if (saveScriptFile("/out/script.wrd", first.lines, fs) != SaveStatus::Ok)
        return "an in-memory save failed";
    if (fs.fileCount() != 2)
        return "the save left its temporary file behind";
    const std::string saved = fs.contents("/out/script.wrd");
    if (saved != joinScriptLines(first.lines))
        return "the saved bytes are not the lines with CR LF";

    const LoadResult again = loadScriptFile("/out/script.wrd", fs);
    if (again.status != LoadResult::Status::Ok || again.lines != first.lines)
        return "load -> save -> load changed the lines";

    if (isSavedForm(bytes) && saved != bytes)
        return "a finished script did not save back byte for byte";
    return checkEdits(first.lines, bytes.substr(bytes.size() / 2), fs);
}

} // namespace velkan::fuzz
