#include "support/FormTestSupport.h"

#include "app/MainFrame.h"
#include "app/RecoveryOffer.h"
#include "document/RecoveryJournal.h"
#include "form/VelkanView.h"
#include "script/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStatusBar>
#include <QTest>
#include <QUndoStack>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

// Refuses new files in the state folder, or fills the disk halfway through.
class FailingStateDisk : public FileSystem {
public:
    enum Failure { NoFolder, DiskFull };
    explicit FailingStateDisk(Failure failure) : m_failure(failure) {}
    int createTemp(const std::string &folder, std::string &temp) const override
    {
        if (m_failure == NoFolder) {
            errno = EACCES;
            return -1;
        }
        return FileSystem::createTemp(folder, temp);
    }
    bool write(int fd, std::string_view data) const override
    {
        if (m_failure != DiskFull)
            return FileSystem::write(fd, data);
        FileSystem::write(fd, data.substr(0, data.size() / 2));
        errno = ENOSPC;
        return false;
    }

private:
    Failure m_failure;
};

class RecoveryTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        frame = new MainFrame;
        frame->show();
    }
    void TearDown() override
    {
        FileSystem::setCurrent(nullptr);
        delete frame.data();
        SeamedTest::TearDown();
    }
    ScriptDocument &document() { return frame->view()->document(); }
    RecoveryJournal &journal() { return *frame->recoveryJournal(); }
    RecoveryState readCopy(const QString &path)
    {
        RecoveryState state;
        EXPECT_EQ(decodeRecovery(readFile(path), state), RecoveryReadStatus::Ok)
            << path.toStdString();
        return state;
    }
    // Work left as a killed instance leaves it: its copy written, no clean exit.
    QString leaveWork(const std::vector<ScriptLine> &lines)
    {
        MainFrame *other = new MainFrame;
        other->view()->document().assign(ScriptLines(lines), QStringLiteral("歌詞読込"), false);
        other->view()->document().setScriptPath(QStringLiteral("/songs/歌.wrd"));
        EXPECT_TRUE(other->recoveryJournal()->writeNow());
        const QString path = other->recoveryJournal()->filePath();
        delete other;
        return path;
    }

    QPointer<MainFrame> frame;
};

const std::vector<ScriptLine> kWork = {"@WAIT(2,0);", "\x82\xa0\x82\xa2\x82\xa4", "", "a\rb"};

} // namespace

TEST_F(RecoveryTest, AChangeIsCopiedWithinTwoSecondsAndASaveRemovesTheCopy)
{
    document().insertLine(0, "\x89\xcc\x8e\x8c", QStringLiteral("行の挿入"), 0);
    document().setScriptPath(QStringLiteral("/songs/歌.wrd"));
    const QString copy = journal().filePath();
    EXPECT_FALSE(QFile::exists(copy)) << "changes are gathered before they are written";
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(copy), 2000);
    const RecoveryState state = readCopy(copy);
    EXPECT_TRUE(state.lines == document().list().lines().toVector());
    EXPECT_EQ(state.scriptPath, QFile::encodeName(QStringLiteral("/songs/歌.wrd")).toStdString());
    EXPECT_TRUE(copy.startsWith(RecoveryJournal::stateFolder()));

    // Saved: nothing is left to restore.
    document().setModified(false);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(copy), 2000);
    // Undone past the save: unsaved again, and copied again.
    document().undo();
    EXPECT_TRUE(journal().writeNow());
    EXPECT_TRUE(QFile::exists(copy));
}

TEST_F(RecoveryTest, AnUnwritableFolderOrAFullDiskOnlyLeavesANote)
{
    for (const auto failure : {FailingStateDisk::NoFolder, FailingStateDisk::DiskFull}) {
        document().assign(ScriptLines(kWork), QStringLiteral("歌詞読込"), false);
        ASSERT_TRUE(journal().writeNow());
        const std::string before = readFile(journal().filePath());

        const FailingStateDisk failing(failure);
        FileSystem::setCurrent(&failing);
        document().insertLine(0, "@COLOR(32);", QStringLiteral("行の挿入"), 0);
        EXPECT_FALSE(journal().writeNow());
        EXPECT_TRUE(frame->statusBar()->currentMessage().contains(
            QStringLiteral("復元用の控えを保存できませんでした")));
        EXPECT_TRUE(journal().writePending()) << "the next attempt is planned";
        // The editing goes on, and the last good copy is whole.
        EXPECT_EQ(document().list().text(0), "@COLOR(32);");
        EXPECT_EQ(readFile(journal().filePath()), before);
        EXPECT_TRUE(MessageBox::shownTexts().isEmpty()) << "no box stops the author";

        FileSystem::setCurrent(nullptr);
        EXPECT_TRUE(journal().writeNow());
        EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty());
        EXPECT_EQ(readCopy(journal().filePath()).lines.size(), kWork.size() + 1);
    }
}

TEST_F(RecoveryTest, WorkLeftBehindIsOfferedAndComesBackByteForByte)
{
    const QString left = leaveWork(kWork);
    ASSERT_TRUE(QFile::exists(left));
    MessageBox::setNextAnswer(MessageBox::Restore);
    offerLeftBehindWork(*frame, RecoveryJournal::stateFolder());

    ASSERT_EQ(MessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(
        MessageBox::shownTexts()[0].startsWith(QStringLiteral("前回の作業を復元しますか?")));
    EXPECT_TRUE(MessageBox::shownTexts()[0].contains(QStringLiteral("行数: 4")));
    EXPECT_TRUE(document().list().lines() == kWork);
    EXPECT_TRUE(document().isModified());
    EXPECT_TRUE(frame->isWindowModified());
    EXPECT_EQ(document().scriptPath(), QStringLiteral("/songs/歌.wrd"));
    // The work is this window's now: the old copy is gone, its own holds it.
    EXPECT_FALSE(QFile::exists(left));
    EXPECT_TRUE(readCopy(journal().filePath()).lines == kWork);
    // A second start finds nothing more: this window's copy is in use.
    EXPECT_TRUE(RecoveryJournal::findLeftBehind().empty());
}

TEST_F(RecoveryTest, DiscardRemovesAndLaterKeepsForTheNextStart)
{
    const struct {
        MessageBox::Answer answer;
        bool kept;
    } cases[] = {{MessageBox::Discard, false}, {MessageBox::Later, true}};
    for (const auto &c : cases) {
        const QString left = leaveWork(kWork);
        MessageBox::clearShown();
        MessageBox::setNextAnswer(c.answer);
        offerLeftBehindWork(*frame, RecoveryJournal::stateFolder());
        EXPECT_EQ(QFile::exists(left), c.kept);
        EXPECT_TRUE(document().list().isEmpty()) << "nothing was put into the window";
        EXPECT_EQ(RecoveryJournal::findLeftBehind().size(), c.kept ? 1u : 0u);
        QFile::remove(left);
    }
}

TEST_F(RecoveryTest, ADamagedCopyIsRefusedNeverLoadedInPart)
{
    const QString left = leaveWork(kWork);
    std::string bytes = readFile(left);
    const std::string cut = bytes.substr(0, bytes.size() - 10);
    {
        QFile file(left);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(cut.data(), static_cast<qint64>(cut.size()));
    }
    MessageBox::setNextAnswer(MessageBox::Ok);
    MessageBox::setNextAnswer(MessageBox::Restore);
    offerLeftBehindWork(*frame, RecoveryJournal::stateFolder());
    ASSERT_EQ(MessageBox::shownTexts().size(), 1);
    EXPECT_TRUE(MessageBox::shownTexts()[0].startsWith(
        QStringLiteral("復元ファイルが途中で切れているため、読み込めません。")));
    EXPECT_TRUE(document().list().isEmpty());
    EXPECT_FALSE(document().isModified());
    // Kept aside, not offered again.
    EXPECT_EQ(readFile(left + QStringLiteral(".damaged")), cut);
    EXPECT_TRUE(RecoveryJournal::findLeftBehind().empty());
}

TEST_F(RecoveryTest, AMissingSongIsNamedAndTheLinesStillComeBack)
{
    RecoveryState state;
    state.lines = ScriptLines(kWork);
    state.songPath = "/nowhere/song.mid";
    state.changedAtMs = 1;
    frame->restoreWork(state);
    EXPECT_TRUE(document().list().lines() == kWork);
    EXPECT_TRUE(frame->statusBar()->currentMessage().contains(QStringLiteral("/nowhere/song.mid")));
}

TEST_F(RecoveryTest, TheUndoHistoryComesBackWithTheWork)
{
    MainFrame *other = new MainFrame;
    ScriptDocument &before = other->view()->document();
    before.assign(ScriptLines(kWork), QStringLiteral("歌詞読込"), true);
    std::vector<std::vector<ScriptLine>> states{before.list().lines().toVector()};
    before.insertLine(1, "@COLOR(32);", QStringLiteral("行の挿入"), 1);
    states.push_back(before.list().lines().toVector());
    before.replaceLine(0, "@WAIT(3,0);", QStringLiteral("行の上書き"), 0);
    states.push_back(before.list().lines().toVector());
    {
        ScriptDocument::Session session(before, QStringLiteral("歌詞表示位置の設定"));
        before.insertLine(0, "@LOCATE(5;20);", {}, 0);
        before.removeLines(3, 2, {}, 0);
    }
    states.push_back(before.list().lines().toVector());
    before.removeLines(0, 1, QStringLiteral("行の削除"), 0);
    before.undo(); // one step left to redo
    ASSERT_TRUE(other->recoveryJournal()->writeNow());
    EXPECT_EQ(other->recoveryJournal()->history().size(), 4u);
    delete other;

    MessageBox::setNextAnswer(MessageBox::Restore);
    offerLeftBehindWork(*frame, RecoveryJournal::stateFolder());
    EXPECT_TRUE(document().list().lines() == states.back());
    QUndoStack &stack = *document().undoStack();
    EXPECT_EQ(stack.redoText(), QStringLiteral("行の削除"));
    const QString names[] = {QStringLiteral("歌詞表示位置の設定"), QStringLiteral("行の上書き"),
                             QStringLiteral("行の挿入")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stack.undoText(), names[i]);
        document().undo();
        EXPECT_TRUE(document().list().lines() == states[states.size() - 2 - i]) << "undo " << i;
    }
    EXPECT_EQ(stack.undoText(), QStringLiteral("作業の復元"));
    EXPECT_TRUE(document().isModified());
}

TEST_F(RecoveryTest, StartUpClearsWhatStoppedInstancesLeftAndNothingInUse)
{
    const QString folder = RecoveryJournal::stateFolder();
    QDir().mkpath(folder);
    auto touch = [&](const QString &name, int ageSeconds) {
        const QString path = folder + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                         QFileDevice::FileModificationTime);
        return path;
    };
    const QString oldTemp = touch(QStringLiteral(".velkan-save-old"), 3600);
    const QString newTemp = touch(QStringLiteral(".velkan-save-new"), 5);
    const QString orphanLock = touch(QStringLiteral("velkan-1-00000000.recovery.lock"), 3600);
    // A running instance's lock and copy, and work left behind with its lock.
    document().insertLine(0, "@COLOR(32);", QStringLiteral("行の挿入"), 0);
    ASSERT_TRUE(journal().writeNow());
    const QString left = leaveWork(kWork);

    MessageBox::setNextAnswer(MessageBox::Later);
    offerLeftBehindWork(*frame, folder);
    EXPECT_FALSE(QFile::exists(oldTemp));
    EXPECT_TRUE(QFile::exists(newTemp)) << "a write may still be going on";
    EXPECT_FALSE(QFile::exists(orphanLock));
    EXPECT_TRUE(QFile::exists(journal().filePath() + QStringLiteral(".lock")));
    EXPECT_TRUE(QFile::exists(journal().filePath()));
    EXPECT_TRUE(QFile::exists(left));
    EXPECT_TRUE(QFile::exists(left + QStringLiteral(".lock")));
}
