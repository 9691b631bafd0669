#include "script/ScriptList.h"

#include <gtest/gtest.h>

using namespace velkan;

namespace {
// Records the notifications in order, checking each "before" has its "after".
class Recorder : public ScriptListObserver {
public:
    std::vector<std::string> log;
    void aboutToInsert(int f, int n) override
    {
        log.push_back("+?" + std::to_string(f) + "," + std::to_string(n));
    }
    void inserted(int f, int n) override
    {
        log.push_back("+" + std::to_string(f) + "," + std::to_string(n));
    }
    void aboutToRemove(int f, int n) override
    {
        log.push_back("-?" + std::to_string(f) + "," + std::to_string(n));
    }
    void removed(int f, int n) override
    {
        log.push_back("-" + std::to_string(f) + "," + std::to_string(n));
    }
    void aboutToReset() override { log.push_back("reset?"); }
    void reset() override { log.push_back("reset"); }
    void changed(int first, int last) override
    {
        log.push_back("=" + std::to_string(first) +
                      (last != first ? "-" + std::to_string(last) : ""));
    }
};
} // namespace

TEST(ScriptList, EditingOperations)
{
    ScriptList list;
    Recorder rec;
    list.addObserver(&rec);

    list.append("a");
    list.append("c");
    EXPECT_EQ(list.insert(1, "b"), 1);
    EXPECT_EQ(list.insert(-1, "d"), 3);
    EXPECT_EQ(list.insert(99, "e"), 4);
    EXPECT_EQ(list.lines(), (std::vector<ScriptLine>{"a", "b", "c", "d", "e"}));

    EXPECT_FALSE(list.remove(5));
    EXPECT_FALSE(list.remove(-1));
    EXPECT_TRUE(list.remove(0));
    EXPECT_TRUE(list.replace(0, "B"));
    EXPECT_FALSE(list.replace(9, "x"));
    EXPECT_EQ(list.text(0), "B");
    EXPECT_EQ(list.text(42), "");

    EXPECT_EQ(list.insertRange(1, {"x", "y"}), 1);
    list.removeRange(2, 100);
    EXPECT_EQ(list.lines(), (std::vector<ScriptLine>{"B", "x"}));

    EXPECT_EQ(rec.log, (std::vector<std::string>{"+?0,1", "+0,1", "+?1,1", "+1,1", "+?1,1", "+1,1",
                                                 "+?3,1", "+3,1", "+?4,1", "+4,1", "-?0,1", "-0,1",
                                                 "=0", "+?1,2", "+1,2", "-?2,4", "-2,4"}));
    list.removeObserver(&rec);
}

TEST(ScriptList, OnlyRealChangesAreReported)
{
    ScriptList list;
    list.assign({"a"});
    Recorder rec;
    list.addObserver(&rec);
    EXPECT_FALSE(list.remove(5));      // nothing there: no change
    EXPECT_TRUE(list.replace(0, "a")); // the same bytes: no change, nothing repainted
    EXPECT_TRUE(rec.log.empty());
    list.replace(0, "b");
    EXPECT_EQ(rec.log, (std::vector<std::string>{"=0"}));
    list.removeObserver(&rec);
}

TEST(ScriptList, ReplaceEachSendsOneNoticeForWhatChanged)
{
    struct Case {
        const char *name;
        std::vector<std::pair<int, ScriptLine>> lines;
        std::vector<ScriptLine> after;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"spread", {{3, "D"}, {1, "B"}}, {"a", "B", "c", "D", "e"}, {"=1-3"}},
        {"one", {{4, "E"}}, {"a", "b", "c", "d", "E"}, {"=4"}},
        {"unchanged and missing left out",
         {{0, "a"}, {7, "x"}, {-1, "y"}, {2, "C"}},
         {"a", "b", "C", "d", "e"},
         {"=2"}},
        {"nothing changes", {{0, "a"}, {9, "z"}}, {"a", "b", "c", "d", "e"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptList list;
        list.assign({"a", "b", "c", "d", "e"});
        Recorder rec;
        list.addObserver(&rec);
        list.replaceEach(c.lines);
        EXPECT_EQ(list.lines(), c.after);
        EXPECT_EQ(rec.log, c.log);
        list.removeObserver(&rec);
    }
}

TEST(ScriptList, ExchangeHandsBackTheOldLinesWhole)
{
    ScriptList list;
    list.assign(ScriptLines::fromText("one\r\ntwo\r\n"));
    Recorder rec;
    list.addObserver(&rec);
    const ScriptLines old = list.exchange({"x"});
    EXPECT_EQ(old, (std::vector<ScriptLine>{"one", "two"}));
    // Still the loaded text's lines, not copies.
    EXPECT_EQ(old.loadedRun(0), 2u);
    EXPECT_EQ(list.lines(), (std::vector<ScriptLine>{"x"}));
    EXPECT_EQ(rec.log, (std::vector<std::string>{"reset?", "reset"}));
    list.removeObserver(&rec);
}
