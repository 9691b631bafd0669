// The reading kept up to date on its worker thread: the last edit's reading
// is the one kept, nothing is read while no one looks, and a reading on its
// way when the owner goes is dropped safely.
#include "document/ScriptReading.h"
#include "document/ScriptDocument.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

using namespace velkan;

namespace {

std::vector<ScriptLine> script(int lyrics)
{
    std::vector<ScriptLine> lines{"@STARTUP(427);"};
    for (int i = 0; i < lyrics; ++i) {
        lines.push_back("@WAIT(" + std::to_string(2 + i) + ",0);");
        lines.push_back("LYRIC " + std::to_string(i));
    }
    return lines;
}

bool settled(const ScriptReading &r)
{
    for (int i = 0; i < 2000 && !(r.latest() && !r.isPending()); ++i)
        QTest::qWait(5);
    return r.latest() && !r.isPending();
}

} // namespace

TEST(ScriptReadingThread, TheLastEditsReadingIsTheOneKept)
{
    ScriptDocument document;
    document.assign(script(5000));
    ScriptReading reading(document);
    reading.want();
    // Edits while readings are on their way, some of them with the event
    // loop running between.
    for (int i = 0; i < 40; ++i) {
        document.insertLine(document.list().count(), "@WAIT(0,0);", QStringLiteral("行の挿入"), -1);
        if (i % 8 == 0)
            QTest::qWait(ScriptReading::kGatherMillis + 5);
    }
    ASSERT_TRUE(settled(reading));
    EXPECT_EQ(reading.latest()->lineCount, document.list().count());
    // The player stops at the first @WAIT added: the one finding.
    ASSERT_EQ(reading.latest()->findings.size(), 1u);
    EXPECT_EQ(reading.latest()->findings.front().code, "E01");
    EXPECT_EQ(reading.latest()->findings.front().line, 10001u);
}

TEST(ScriptReadingThread, NothingIsReadWhileNoOneWantsIt)
{
    ScriptDocument document;
    document.assign(script(10));
    ScriptReading reading(document);
    QSignalSpy updates(&reading, &ScriptReading::updated);
    document.insertLine(0, "x;", QStringLiteral("行の挿入"), -1);
    QTest::qWait(ScriptReading::kGatherMillis * 3);
    EXPECT_EQ(updates.count(), 0);
    EXPECT_EQ(reading.latest(), nullptr);

    reading.want();
    ASSERT_TRUE(settled(reading));
    EXPECT_EQ(updates.count(), 1);
    reading.unwant();
    document.insertLine(0, "y;", QStringLiteral("行の挿入"), -1);
    QTest::qWait(ScriptReading::kGatherMillis * 3);
    EXPECT_EQ(updates.count(), 1);
}

TEST(ScriptReadingThread, GoingWhileAReadingIsOnItsWayIsSafe)
{
    ScriptDocument document;
    document.assign(script(50000));
    for (int round = 0; round < 5; ++round) {
        auto reading = std::make_unique<ScriptReading>(document);
        reading->want();
        QTest::qWait(ScriptReading::kGatherMillis + 2 * round);
        reading.reset(); // the worker may be reading now
        QCoreApplication::processEvents();
    }
    SUCCEED();
}
