// Every way a save can fail, brought about through the file-system seam (the
// tests run as root, where permission bits stop nothing) and driven through
// the form's save button: the old file stays whole, the message says what
// happened, and the script list and its changed state stay as they were.
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/VelkanView.h"
#include "script/FileSystem.h"
#include "script/Messages.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

enum class Failure {
    None,
    NoSpace,
    WriteError,
    SyncError,
    CloseError,
    RenameError,
    ReadOnlyTarget,
    NoTemp
};

// The real file system with one step made to fail.
class FailingFileSystem final : public FileSystem {
public:
    explicit FailingFileSystem(Failure failure) : m_failure(failure) {}

    bool canWrite(const std::string &path) const override
    {
        return m_failure != Failure::ReadOnlyTarget && FileSystem::canWrite(path);
    }
    int createTemp(const std::string &folder, std::string &tempPath) const override
    {
        if (m_failure == Failure::NoTemp)
            return -1;
        return FileSystem::createTemp(folder, tempPath);
    }
    bool write(int fd, std::string_view data) const override
    {
        switch (m_failure) {
        case Failure::NoSpace:
            // The disk fills half-way: part of the text is on it.
            FileSystem::write(fd, data.substr(0, data.size() / 2));
            errno = ENOSPC;
            return false;
        case Failure::WriteError:
            errno = EIO;
            return false;
        default:
            return FileSystem::write(fd, data);
        }
    }
    bool sync(int fd) const override
    {
        return m_failure != Failure::SyncError && FileSystem::sync(fd);
    }
    bool close(int fd) const override
    {
        const bool ok = FileSystem::close(fd);
        return ok && m_failure != Failure::CloseError;
    }
    bool rename(const std::string &from, const std::string &to) const override
    {
        return m_failure != Failure::RenameError && FileSystem::rename(from, to);
    }

private:
    Failure m_failure;
};

struct SaveCase {
    const char *name;
    Failure failure;
    bool missingFolder;
    const char *message; // then the file, then this
    const char *what;
};

void PrintTo(const SaveCase &c, std::ostream *os)
{
    *os << c.name;
}

const SaveCase kCases[] = {
    {"NoSpace", Failure::NoSpace, false, messages::kWriteFailed,
     "書き込みに失敗しました (ディスクの空きがありません)"},
    {"WriteError", Failure::WriteError, false, messages::kWriteFailed,
     "書き込みに失敗しました (入出力エラーです)"},
    {"SyncError", Failure::SyncError, false, messages::kWriteFailed,
     "ディスクへの書き出しに失敗しました"},
    {"CloseError", Failure::CloseError, false, messages::kWriteFailed,
     "ファイルを閉じる処理に失敗しました"},
    {"RenameError", Failure::RenameError, false, messages::kWriteFailed,
     "元のファイルとの置き換えに失敗しました"},
    {"ReadOnlyTarget", Failure::ReadOnlyTarget, false, messages::kCannotOpenWrd,
     "ファイルを書き込み用に開けませんでした"},
    {"MissingFolder", Failure::None, true, messages::kCannotOpenWrd,
     "ファイルを書き込み用に開けませんでした (フォルダーがありません)"},
};

class FailingSaveTest : public SeamedTest, public ::testing::WithParamInterface<SaveCase> {
protected:
    void TearDown() override
    {
        FileSystem::setCurrent(nullptr);
        SeamedTest::TearDown();
    }
};

} // namespace

TEST_P(FailingSaveTest, OldFileWholeMessageClearListUnchanged)
{
    const SaveCase &c = GetParam();
    VelkanView view;
    view.show();
    const std::vector<ScriptLine> lines = {"@WAIT(1,0);", "\x89\xCC\x8E\x8C", "", "@END();"};
    view.document().assign(lines);
    view.document().setModified(true);
    view.selectLine(1);

    const std::string old = "@OLD();\r\nthe author's earlier work\r\n";
    const QString target = c.missingFolder ? m_dir.filePath(QStringLiteral("gone/script.wrd"))
                                           : writeTemp(QStringLiteral("script.wrd"), old);
    const FailingFileSystem failing(c.failure);
    FileSystem::setCurrent(&failing);
    FileDialog::setNextFileName(target);
    test::triggerAction(&view, "actionWrdSave");
    FileSystem::setCurrent(nullptr);

    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QString::fromUtf8(c.message) + u'\n' + target +
                                                    u'\n' + QString::fromUtf8(c.what)});
    if (c.missingFolder)
        EXPECT_FALSE(QFileInfo::exists(target));
    else
        EXPECT_EQ(readFile(target), old);
    // Nothing half-written is left beside it.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden),
              c.missingFolder ? QStringList{} : QStringList{QStringLiteral("script.wrd")});
    EXPECT_EQ(view.scriptList().lines(), lines);
    EXPECT_TRUE(view.document().isModified());
    EXPECT_EQ(view.selectedIndex(), 1);

    // The same save without the fault goes through.
    if (!c.missingFolder) {
        MessageBox::clearShown();
        FileDialog::setNextFileName(target);
        test::triggerAction(&view, "actionWrdSave");
        EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
        EXPECT_EQ(readFile(target), "@WAIT(1,0);\r\n\x89\xCC\x8E\x8C\r\n\r\n@END();\r\n");
        EXPECT_FALSE(view.document().isModified());
    }
}

// A folder that takes no new file: the file itself is written over.
TEST_F(FailingSaveTest, AFolderThatTakesNoNewFileIsSavedInPlace)
{
    VelkanView view;
    view.show();
    view.document().assign({"@WAIT(1,0);", "lyric"});
    const QString target = writeTemp(QStringLiteral("script.wrd"), "@OLD();\r\n");
    const FailingFileSystem failing(Failure::NoTemp);
    FileSystem::setCurrent(&failing);
    FileDialog::setNextFileName(target);
    test::triggerAction(&view, "actionWrdSave");
    FileSystem::setCurrent(nullptr);
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
    EXPECT_EQ(readFile(target), "@WAIT(1,0);\r\nlyric\r\n");
    EXPECT_FALSE(view.document().isModified());
}

INSTANTIATE_TEST_SUITE_P(Failures, FailingSaveTest, ::testing::ValuesIn(kCases),
                         [](const auto &test) { return std::string(test.param.name); });
