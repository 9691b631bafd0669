#include "script/RecoveryFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velkan;
namespace fs = std::filesystem;

namespace {

RecoveryState sample()
{
    RecoveryState state;
    state.lines = ScriptLines({"@WAIT(3,48);", "\x82\xa0\x82\xa2", "", "a\rb", "\x1a@END();"});
    state.scriptPath = "/home/author/\x89\xcc.wrd"; // a name in the locale's bytes
    state.songPath = "/home/author/song.mid";
    state.changedAtMs = 1'796'700'000'123;
    state.processId = 4242;
    return state;
}

void expectSame(const RecoveryState &a, const RecoveryState &b)
{
    EXPECT_TRUE(a.lines == b.lines.toVector());
    EXPECT_EQ(a.scriptPath, b.scriptPath);
    EXPECT_EQ(a.songPath, b.songPath);
    EXPECT_EQ(a.changedAtMs, b.changedAtMs);
    EXPECT_EQ(a.processId, b.processId);
}

} // namespace

TEST(RecoveryFile, ReadsBackWhatWasWrittenByteForByte)
{
    RecoveryState empty;
    empty.changedAtMs = 1;
    RecoveryState many = sample();
    many.lines.clear();
    for (int i = 0; i < 5000; ++i)
        many.lines.push_back(std::string(static_cast<std::size_t>(i % 300), char(0x80 + i % 120)));
    for (const RecoveryState &state : {sample(), empty, many}) {
        RecoveryState read;
        ASSERT_EQ(decodeRecovery(encodeRecovery(state), read), RecoveryReadStatus::Ok);
        expectSame(read, state);
    }
}

TEST(RecoveryFile, RefusesAFileThatIsNotWholeAndLeavesTheStateAlone)
{
    const std::string good = encodeRecovery(sample());
    std::string newer = good;
    newer[16] = 2;
    std::string extra = good + '\0';
    std::string noVersion = good;
    noVersion[16] = 0;
    const struct {
        const char *what;
        std::string bytes;
        RecoveryReadStatus expected;
    } cases[] = {
        {"empty", "", RecoveryReadStatus::NotRecovery},
        {"a script", "@WAIT(1,0);\r\n", RecoveryReadStatus::NotRecovery},
        {"cut in the magic", good.substr(0, 7), RecoveryReadStatus::Truncated},
        {"cut in the header", good.substr(0, 20), RecoveryReadStatus::Truncated},
        {"cut in the body", good.substr(0, good.size() / 2), RecoveryReadStatus::Truncated},
        {"cut in the checksum", good.substr(0, good.size() - 1), RecoveryReadStatus::Truncated},
        {"a byte too many", extra, RecoveryReadStatus::Damaged},
        {"a later version", newer, RecoveryReadStatus::NewerFormat},
        {"version 0", noVersion, RecoveryReadStatus::Damaged},
    };
    for (const auto &c : cases) {
        RecoveryState kept = sample();
        kept.processId = 7;
        EXPECT_EQ(decodeRecovery(c.bytes, kept), c.expected) << c.what;
        EXPECT_EQ(kept.processId, 7) << c.what;
        EXPECT_STRNE(messageFor(c.expected), "") << c.what;
    }
    // Any one byte changed in the body or its checksum is caught.
    for (std::size_t i = 28; i < good.size(); ++i) {
        std::string changed = good;
        changed[i] = static_cast<char>(changed[i] ^ 0x20);
        RecoveryState read;
        EXPECT_NE(decodeRecovery(changed, read), RecoveryReadStatus::Ok) << "byte " << i;
    }
}

namespace {
// The disk fills up halfway through, or the folder takes no new file.
class FullDisk : public FileSystem {
public:
    bool folderRefuses = false;
    int createTemp(const std::string &folder, std::string &temp) const override
    {
        if (folderRefuses) {
            errno = EACCES;
            return -1;
        }
        return FileSystem::createTemp(folder, temp);
    }
    bool write(int fd, std::string_view data) const override
    {
        FileSystem::write(fd, data.substr(0, data.size() / 2));
        errno = ENOSPC;
        return false;
    }
};
} // namespace

TEST(RecoveryFile, AFailedWriteLeavesTheOldFileWholeAndNoTemporaryFile)
{
    for (const bool folderRefuses : {false, true}) {
        test::TempDir dir;
        const std::string path = dir.file("a.recovery");
        const std::string old = encodeRecovery(sample());
        ASSERT_EQ(writeFileAtomically(path, old).status, SaveStatus::Ok);
        FullDisk full;
        full.folderRefuses = folderRefuses;
        const SaveResult result = writeFileAtomically(path, std::string(10000, 'x'), full);
        EXPECT_NE(result.status, SaveStatus::Ok);
        EXPECT_NE(saveFailureReason(result), "");
        EXPECT_EQ(test::readBytes(path), old);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    }
}

TEST(RecoveryFile, AHistoryLeadsBackToTheLinesBeforeIt)
{
    // "a", "b" -> insert "x" at 1 -> replace "b" by "B" -> remove "a"; the last undone.
    RecoveryState state;
    state.changedAtMs = 1;
    state.steps = {
        {"行の挿入", {{1, {}, {"x"}}}},
        {"行の上書き", {{2, {"b"}, {"B"}}}},
        {"行の削除", {{0, {"a"}, {}}}},
    };
    state.stepsDone = 2;
    state.lines = ScriptLines({"a", "x", "B"});

    RecoveryState read;
    ASSERT_EQ(decodeRecovery(encodeRecovery(state), read), RecoveryReadStatus::Ok);
    EXPECT_EQ(read.steps, state.steps);
    EXPECT_EQ(read.stepsDone, 2u);
    ScriptLines base;
    ASSERT_TRUE(linesBeforeHistory(read, base));
    EXPECT_TRUE((base == std::vector<ScriptLine>{"a", "b"}));

    // A history that does not fit its lines is not used: a done step whose
    // lines are not there, a step to redo that cannot be made, more done
    // steps than steps.
    const struct {
        const char *what;
        std::vector<ScriptLine> lines;
        std::uint64_t done;
    } misfits[] = {
        {"done step's lines gone", {"a", "x", "C"}, 2},
        {"redo step's lines gone", {"z", "x", "B"}, 2},
        {"more done than there are", {"a", "x", "B"}, 4},
    };
    for (const auto &m : misfits) {
        RecoveryState bad = state;
        bad.lines = ScriptLines(m.lines);
        bad.stepsDone = m.done;
        EXPECT_FALSE(linesBeforeHistory(bad, base)) << m.what;
    }
}
