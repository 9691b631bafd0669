#include "script/ScriptFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

using namespace velkan;
namespace fs = std::filesystem;

namespace {

std::vector<ScriptLine> withHeader(std::vector<ScriptLine> body)
{
    std::vector<ScriptLine> all(kDefaultHeader);
    all.insert(all.end(), body.begin(), body.end());
    all.emplace_back("@END();");
    return all;
}

using test::TempDir;

std::string readFile(const std::string &path)
{
    return test::readBytes(path);
}

void writeFile(const std::string &path, const std::string &bytes)
{
    test::writeBytes(path, bytes);
}

} // namespace

TEST(ScriptText, LineEndsAndCtrlZ)
{
    struct Case {
        const char *name;
        std::string text;
        std::vector<ScriptLine> lines;
    };
    const std::vector<Case> cases = {
        {"crlf", "A\r\nB\r\n", {"A", "B"}},
        {"lone lf", "A\nB\n", {"A", "B"}},
        {"no final end", "A\r\nB", {"A", "B"}},
        {"blank lines kept", "A\r\n\r\n\nB\r\n", {"A", "", "", "B"}},
        {"lone cr stays in the line", "A\rB\r\n", {"A\rB"}},
        {"ctrl-z ends the text",
         "A\r\nB\x1A"
         "C\r\n",
         {"A", "B"}},
        {"ctrl-z at a line start adds no line", "A\r\n\x1A\r\nB", {"A"}},
        {"tabs and trailing blanks stay", "\tA  \r\n", {"\tA  "}},
        {"nul bytes stay", std::string("A\0B\r\n", 5), {std::string("A\0B", 3)}},
        {"empty", "", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(splitScriptText(c.text), c.lines) << c.name;
}

TEST(ScriptText, HeaderRule)
{
    ScriptLines lyrics = {"A", "B"};
    addDefaultHeaderIfNeeded(lyrics);
    EXPECT_EQ(lyrics, withHeader({"A", "B"}));
    ASSERT_EQ(lyrics.size(), 7u);

    ScriptLines script = {"@WAIT(1,0);", "A"};
    addDefaultHeaderIfNeeded(script);
    EXPECT_EQ(script, (std::vector<ScriptLine>{"@WAIT(1,0);", "A"}));

    // A lyric first line gets a header even when the file already ends with @END();
    ScriptLines ended = {"A", "@END();"};
    addDefaultHeaderIfNeeded(ended);
    EXPECT_EQ(ended, withHeader({"A", "@END();"}));

    ScriptLines empty;
    addDefaultHeaderIfNeeded(empty);
    EXPECT_EQ(empty, withHeader({}));

    ScriptLines blankFirst = {"", "@X"};
    addDefaultHeaderIfNeeded(blankFirst);
    EXPECT_EQ(blankFirst.size(), 7u);
}

TEST(ScriptText, HeaderLinesAreExact)
{
    ASSERT_EQ(kDefaultHeader.size(), 4u);
    EXPECT_EQ(kDefaultHeader[0], "@STARTUP(427) @GON(1) @TON(1) @WMODE(23) @GCLS();");
    EXPECT_EQ(kDefaultHeader[3],
              "@PAL(#3,000,e00,0e0,00e,ee0,e0e,0ee,7e0,07e,70e,e70,0e7,e07,f7b,bf7,7bf);");
    for (int i = 1; i <= 3; ++i) {
        // "#n," then sixteen three-digit entries.
        const std::string &l = kDefaultHeader[static_cast<std::size_t>(i)];
        EXPECT_EQ(l.size(), std::string("@PAL(#1,").size() + 16 * 4 - 1 + 2) << l;
    }
}

TEST(ScriptFile, LoadAndSaveRoundTrip)
{
    TempDir dir;
    const std::string in = dir.file("lyrics.txt");
    writeFile(in, "A\nB\n");
    auto loaded = loadScriptFile(in);
    ASSERT_EQ(loaded.status, LoadResult::Status::Ok);
    EXPECT_EQ(loaded.lines, withHeader({"A", "B"}));

    // A script that begins with "@", CR LF everywhere, no Ctrl-Z: byte for byte.
    const std::string wrd = dir.file("song.wrd");
    const std::string bytes = "@WAIT(1,0);\r\n\x82\xA0\x82\xA2\r\n\r\n@END();\r\n";
    writeFile(wrd, bytes);
    loaded = loadScriptFile(wrd);
    ASSERT_EQ(loaded.status, LoadResult::Status::Ok);
    const std::string out = dir.file("out.wrd");
    ASSERT_EQ(saveScriptFile(out, loaded.lines), SaveStatus::Ok);
    EXPECT_EQ(readFile(out), bytes);

    ASSERT_EQ(saveScriptFile(out, {}), SaveStatus::Ok);
    EXPECT_EQ(fs::file_size(out), 0u);
}

TEST(ScriptFile, LongScriptsSaveByteForByte)
{
    // Lines that cross the save buffer's edges, and one longer than it.
    std::vector<ScriptLine> lines;
    for (int i = 0; i < 60000; ++i)
        lines.push_back("@WAIT(" + std::to_string(i) + ",0);" +
                        std::string(static_cast<std::size_t>(i % 37), 'x'));
    lines.insert(lines.begin() + 30000, std::string(3u << 20, '\x82'));
    lines.emplace_back();
    TempDir dir;
    const std::string out = dir.file("long.wrd");
    ASSERT_EQ(saveScriptFile(out, lines), SaveStatus::Ok);
    const std::string saved = readFile(out);
    EXPECT_TRUE(saved == joinScriptLines(lines));
    EXPECT_TRUE(loadScriptFile(out).lines == lines);
}

TEST(ScriptFile, EditedScriptsSaveByteForByte)
{
    // A loaded script saves its untouched stretches straight from the loaded
    // text: every kind of line end and every edit must still come out as the
    // lines with CR LF.
    std::string bytes = "@STARTUP(427)\r\n";
    for (int i = 0; i < 20000; ++i) {
        bytes += "@WAIT(" + std::to_string(i) + ",0);";
        bytes += i % 997 == 5 ? "\n" : i % 1999 == 7 ? "\r\r\n" : "\r\n";
    }
    bytes += "last line without an end";
    TempDir dir;
    const std::string in = dir.file("in.wrd"), out = dir.file("out.wrd");
    writeFile(in, bytes);
    ScriptLines lines = loadScriptFile(in).lines;
    ASSERT_EQ(lines.size(), 20002u);

    ASSERT_EQ(saveScriptFile(out, lines), SaveStatus::Ok);
    EXPECT_TRUE(readFile(out) == joinScriptLines(lines));

    lines.replace(0, "@STARTUP(427) @GON(1)");
    lines.insert(10000, "typed");
    lines.replace(10002, lines[10001]);
    lines.erase(15000, 3000);
    lines.replace(lines.size() - 2, "second to last");
    lines.push_back("@END();");
    ASSERT_EQ(saveScriptFile(out, lines), SaveStatus::Ok);
    const std::string saved = readFile(out);
    EXPECT_TRUE(saved == joinScriptLines(lines));
    EXPECT_TRUE(loadScriptFile(out).lines == lines);

    // A disk that fills up during the straight write leaves the old file.
    ScriptLines unedited = loadScriptFile(in).lines;
    struct FullDisk : FileSystem {
        bool write(int fd, std::string_view data) const override
        {
            return data.size() < 65536 && FileSystem::write(fd, data);
        }
    } full;
    EXPECT_EQ(saveScriptFile(out, unedited, full), SaveStatus::WriteFailed);
    EXPECT_TRUE(readFile(out) == saved);
}

TEST(ScriptFile, ReadsLargeFilesWhole)
{
    // Large files go into a mapped block: every byte must land in its
    // place, whatever the size's remainder.
    TempDir dir;
    std::string bytes;
    bytes.reserve((9u << 20) + 4099);
    std::uint32_t x = 12345;
    while (bytes.size() < (8u << 20) + 4099) {
        x = x * 1664525u + 1013904223u;
        bytes.push_back(static_cast<char>(x >> 24));
    }
    for (const std::size_t size :
         {bytes.size(), std::size_t{8u << 20}, std::size_t{(8u << 20) + 1}}) {
        const std::string path = dir.file("large.bin");
        writeFile(path, bytes.substr(0, size));
        ByteBlock read;
        ASSERT_EQ(FileSystem::real().readAll(path, read), FileSystem::ReadStatus::Ok);
        EXPECT_TRUE(read.view() == std::string_view(bytes).substr(0, size)) << size;
    }
}

TEST(ScriptFile, ReadsAPipeToItsEnd)
{
    // Not a regular file: no size known beforehand.
    TempDir dir;
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string bytes = "@A\r\n";
    // Enough that the bytes outgrow small memory on the way.
    for (int i = 0; i < 150000; ++i)
        bytes += "lyric line " + std::to_string(i) + "\r\n";
    std::thread writer([&] { writeFile(fifo, bytes); });
    const auto loaded = loadScriptFile(fifo);
    writer.join();
    ASSERT_EQ(loaded.status, LoadResult::Status::Ok);
    ASSERT_EQ(loaded.lines.size(), 150001u);
    EXPECT_EQ(loaded.lines.back(), "lyric line 149999");
    EXPECT_EQ(joinScriptLines(loaded.lines), bytes);
}

TEST(ScriptFile, MissingFileCannotBeOpened)
{
    const auto r = loadScriptFile("/nonexistent/velkan/file.txt");
    EXPECT_EQ(r.status, LoadResult::Status::CannotOpen);
    EXPECT_STREQ(messageFor(r.status), "入力ファイルが開けません");
}

TEST(ScriptFile, SaveFollowsLinksAndKeepsPermissions)
{
    TempDir dir;
    const std::string real = dir.file("real.wrd");
    writeFile(real, "old\r\n");
    ::chmod(real.c_str(), 0640);
    const std::string link = dir.file("link.wrd");
    fs::create_symlink("real.wrd", link);

    ASSERT_EQ(saveScriptFile(link, {"new"}), SaveStatus::Ok);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readFile(real), "new\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}

namespace {
// Fails one chosen step of a save.
class FailingFileSystem : public FileSystem {
public:
    enum class Step { None, Read, NotWritable, CreateTemp, Write, Sync, Close, Rename };
    explicit FailingFileSystem(Step step) : m_step(step) {}

    bool canWrite(const std::string &p) const override
    {
        return m_step != Step::NotWritable && FileSystem::canWrite(p);
    }
    int createTemp(const std::string &folder, std::string &temp) const override
    {
        if (m_step == Step::CreateTemp)
            return -1;
        return FileSystem::createTemp(folder, temp);
    }
    bool write(int fd, std::string_view data) const override
    {
        if (m_step == Step::Write) {
            // Half the bytes reach the disk, then the disk is full.
            FileSystem::write(fd, data.substr(0, data.size() / 2));
            return false;
        }
        return FileSystem::write(fd, data);
    }
    bool sync(int fd) const override { return m_step != Step::Sync && FileSystem::sync(fd); }
    bool close(int fd) const override
    {
        const bool ok = FileSystem::close(fd);
        return m_step != Step::Close && ok;
    }
    bool rename(const std::string &a, const std::string &b) const override
    {
        return m_step != Step::Rename && FileSystem::rename(a, b);
    }
    ReadStatus readAll(const std::string &path, ByteBlock &out) const override
    {
        const ReadStatus s = FileSystem::readAll(path, out);
        if (m_step != Step::Read || s != ReadStatus::Ok)
            return s;
        out.resize(out.size() / 2);
        return ReadStatus::ReadError;
    }

private:
    Step m_step;
};
} // namespace

TEST(ScriptFile, FailedSaveLeavesOldFileWhole)
{
    using Step = FailingFileSystem::Step;
    const struct {
        Step step;
        SaveStatus expected;
    } cases[] = {
        {Step::NotWritable, SaveStatus::CannotOpen}, {Step::Write, SaveStatus::WriteFailed},
        {Step::Sync, SaveStatus::WriteFailed},       {Step::Close, SaveStatus::WriteFailed},
        {Step::Rename, SaveStatus::WriteFailed},
    };
    for (const auto &c : cases) {
        TempDir dir;
        const std::string target = dir.file("song.wrd");
        writeFile(target, "old content\r\n");
        const FailingFileSystem failing(c.step);
        EXPECT_EQ(saveScriptFile(target, {"new", "lines"}, failing), c.expected);
        EXPECT_EQ(readFile(target), "old content\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
            << "temporary file left behind";
    }
    EXPECT_STREQ(messageFor(SaveStatus::CannotOpen), "WRDファイルが開けません");
}

namespace {
// The real file system, but the folder takes no new file, or the process may
// not give a new file the old one's owner, or the file has attributes of its own.
class RefusingFileSystem : public FileSystem {
public:
    enum class Refusal { NewFile, Owner, Attributes };
    explicit RefusingFileSystem(Refusal refusal) : m_refusal(refusal) {}
    int createTemp(const std::string &folder, std::string &temp) const override
    {
        if (m_refusal == Refusal::NewFile) {
            errno = EACCES;
            return -1;
        }
        return FileSystem::createTemp(folder, temp);
    }
    bool setOwner(int fd, int owner, int group) const override
    {
        return m_refusal != Refusal::Owner && FileSystem::setOwner(fd, owner, group);
    }
    TargetInfo inspect(const std::string &path) const override
    {
        TargetInfo info = FileSystem::inspect(path);
        info.ownAttributes = info.ownAttributes || m_refusal == Refusal::Attributes;
        return info;
    }

private:
    Refusal m_refusal;
};

ino_t inodeOf(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}
} // namespace

// Where a new file would lose something of the old one, the file itself is
// written over: still there under every name, with all it had.
TEST(ScriptFile, SavesInPlaceWhereANewFileWouldLoseSomething)
{
    using Refusal = RefusingFileSystem::Refusal;
    struct Case {
        const char *name;
        Refusal refusal;
    };
    for (const Case c : {Case{"a folder that takes no new file", Refusal::NewFile},
                         Case{"an owner this process may not give", Refusal::Owner},
                         Case{"an ACL or extended attributes", Refusal::Attributes}}) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string target = dir.file("song.wrd");
        writeFile(target, "old content that is longer than the new\r\n");
        const ino_t before = inodeOf(target);
        const SaveResult r = saveScript(target, {"new"}, RefusingFileSystem(c.refusal));
        EXPECT_EQ(r.status, SaveStatus::Ok);
        EXPECT_TRUE(r.inPlace);
        EXPECT_EQ(readFile(target), "new\r\n");
        EXPECT_EQ(inodeOf(target), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }

    // Hard links: every name sees the new script.
    TempDir dir;
    const std::string target = dir.file("song.wrd"), other = dir.file("copy.wrd");
    writeFile(target, "old\r\n");
    ASSERT_EQ(::link(target.c_str(), other.c_str()), 0);
    EXPECT_TRUE(saveScript(target, {"new"}).inPlace);
    EXPECT_EQ(readFile(other), "new\r\n");

    // A pipe stays a pipe and its reader gets the script.
    const std::string pipe = dir.file("pipe.wrd");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const SaveResult noReader = saveScript(pipe, {"x"});
    EXPECT_EQ(noReader.status, SaveStatus::CannotOpen);
    EXPECT_NE(saveFailureMessage(noReader, pipe).find("読み手のいないパイプ"), std::string::npos);
    std::string received;
    std::thread reader([&] { received = readFile(pipe); });
    SaveResult piped;
    for (int tries = 0; tries < 200; ++tries) { // until the reader has opened it
        piped = saveScript(pipe, {"@WAIT(1,0);", "lyric"});
        if (piped.status == SaveStatus::Ok)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    reader.join();
    EXPECT_EQ(piped.status, SaveStatus::Ok);
    EXPECT_EQ(received, "@WAIT(1,0);\r\nlyric\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(pipe.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// The new file of an ordinary save takes the old one's owner and group.
TEST(ScriptFile, AnAtomicSaveKeepsTheOwner)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a file to another user needs root";
    TempDir dir;
    const std::string target = dir.file("song.wrd");
    writeFile(target, "old\r\n");
    ASSERT_EQ(::chown(target.c_str(), 1234, 5678), 0);
    const ino_t before = inodeOf(target);
    const SaveResult r = saveScript(target, {"new"});
    EXPECT_EQ(r.status, SaveStatus::Ok);
    EXPECT_FALSE(r.inPlace);
    EXPECT_NE(inodeOf(target), before);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 5678u);
}

TEST(ScriptFile, ExtendedAttributesSurviveASave)
{
    TempDir dir;
    const std::string target = dir.file("song.wrd");
    writeFile(target, "old\r\n");
    if (::setxattr(target.c_str(), "user.velkan", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no extended attributes on this file system";
    EXPECT_TRUE(FileSystem::real().inspect(target).ownAttributes);
    EXPECT_TRUE(saveScript(target, {"new"}).inPlace);
    char value[8] = {};
    EXPECT_EQ(::getxattr(target.c_str(), "user.velkan", value, sizeof value), 4);
    EXPECT_STREQ(value, "kept");
    EXPECT_EQ(readFile(target), "new\r\n");
}

TEST(ScriptFile, AFailedSaveSaysWhatFailedAndNamesTheFile)
{
    using Step = SaveResult::Step;
    struct Case {
        SaveResult result;
        const char *message;
    };
    const Case cases[] = {
        {{SaveStatus::CannotOpen, Step::Open, EACCES, false},
         "WRDファイルが開けません\n/m/a.wrd\nファイルを書き込み用に開けませんでした "
         "(アクセスが許可されていません)"},
        {{SaveStatus::WriteFailed, Step::Write, ENOSPC, false},
         "WRDファイルの書き込みに失敗しました。元のファイルはそのまま残っています。\n/m/a.wrd\n"
         "書き込みに失敗しました (ディスクの空きがありません)"},
        {{SaveStatus::WriteFailed, Step::Sync, EIO, true},
         "WRDファイルの書き込みに失敗しました。ファイルは途中までしか書かれていない可能性があります"
         "。\n"
         "/m/a.wrd\nディスクへの書き出しに失敗しました (入出力エラーです)"},
        {{SaveStatus::WriteFailed, Step::Rename, 0, false},
         "WRDファイルの書き込みに失敗しました。元のファイルはそのまま残っています。\n/m/a.wrd\n"
         "元のファイルとの置き換えに失敗しました"},
        {{}, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(saveFailureMessage(c.result, "/m/a.wrd"), c.message);
}

TEST(ScriptFile, SaveIntoMissingFolderFailsBeforeWriting)
{
    EXPECT_EQ(saveScriptFile("/nonexistent/velkan/out.wrd", {"x"}), SaveStatus::CannotOpen);
}

TEST(ScriptFile, AFileTooLargeForMemoryIsRefused)
{
    struct NoMemory : FileSystem {
        ReadStatus readAll(const std::string &, ByteBlock &) const override
        {
            throw std::bad_alloc();
        }
    } noMemory;
    const LoadResult r = loadScriptFile("/any/huge.wrd", noMemory);
    EXPECT_EQ(r.status, LoadResult::Status::NoMemory);
    EXPECT_TRUE(r.lines.empty());
    EXPECT_STREQ(messageFor(r.status), "メモリの確保に失敗");

    // Asking the system for more than it has is the same refusal.
    EXPECT_THROW(ByteBlock().resize(std::size_t{1} << 62), std::bad_alloc);
}

TEST(ScriptFile, FilesBeyondTheReadLimitAreRefusedUnread)
{
    struct SmallMemory : FileSystem {
        std::size_t readLimit() const override { return 1u << 20; }
    } small;
    TempDir dir;
    const std::string fits = dir.file("fits.wrd"), over = dir.file("over.wrd");
    writeFile(fits, "@A\r\n" + std::string((1u << 20) - 4, 'x'));
    writeFile(over, "@A\r\n" + std::string((1u << 20) - 3, 'x'));
    ByteBlock block;
    EXPECT_EQ(small.readAll(fits, block), FileSystem::ReadStatus::Ok);
    EXPECT_EQ(block.size(), 1u << 20);
    EXPECT_EQ(small.readAll(over, block), FileSystem::ReadStatus::TooLarge);
    EXPECT_TRUE(block.empty());
    const LoadResult r = loadScriptFile(over, small);
    EXPECT_EQ(r.status, LoadResult::Status::NoMemory);
    EXPECT_TRUE(r.lines.empty());

    // A stream (no size known) is cut off at the limit too.
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        // The reader stops early: the rest of the writes fail instead of
        // raising SIGPIPE.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        writeFile(fifo, std::string(3u << 20, 'y'));
    });
    EXPECT_EQ(small.readAll(fifo, block), FileSystem::ReadStatus::TooLarge);
    EXPECT_TRUE(block.empty());
    writer.join();

    // The real limit leaves room for any real script.
    EXPECT_GE(FileSystem::real().readLimit(), std::size_t{64} << 20);
    EXPECT_LE(FileSystem::real().readLimit(), std::size_t{1} << 30);
}

TEST(ScriptFile, ReadErrorKeepsLinesReadSoFar)
{
    TempDir dir;
    const std::string path = dir.file("half.wrd");
    writeFile(path, "@A\r\n@B\r\n@C\r\n@D\r\n");
    const FailingFileSystem failing(FailingFileSystem::Step::Read);
    const auto r = loadScriptFile(path, failing);
    EXPECT_EQ(r.status, LoadResult::Status::ReadError);
    EXPECT_EQ(r.lines, (std::vector<ScriptLine>{"@A", "@B"}));
}
