#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/ScriptListModel.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "script/ScriptFile.h"
#include "support/Actions.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QTest>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

// Gathers what a widget is asked to paint.
struct PaintWatcher : QObject {
    explicit PaintWatcher(QWidget *w) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            region += static_cast<QPaintEvent *>(e)->region();
        return false;
    }
    QRegion region;
};

class ViewTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        view = std::make_unique<VelkanView>();
        view->show();
        tester = std::make_unique<QAbstractItemModelTester>(
            view->listView()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    }
    void fill(std::vector<ScriptLine> lines)
    {
        view->document().assign(std::move(lines));
        view->document().setModified(false);
    }
    std::vector<ScriptLine> lines() const { return view->scriptList().lines().toVector(); }

    std::unique_ptr<VelkanView> view;
    std::unique_ptr<QAbstractItemModelTester> tester;
};

} // namespace

TEST_F(ViewTest, ResizeMovesOnlyTheBottomControls)
{
    const QSize edit = view->lineEdit()->size();
    const QSize help = view->helpPanel()->size();
    const int listW = view->listView()->width();
    const int groupH = view->findChild<QGroupBox *>(QStringLiteral("fileGroup"))->height();
    const QRect startButton = view->control(cmd::Start)->geometry();

    for (const QSize size :
         {QSize(500, 600), QSize(500, 700), QSize(900, 700), QSize(450, 400), QSize(450, 650)}) {
        view->resize(size);
        const int cy = size.height();
        EXPECT_EQ(view->helpPanel()->geometry(),
                  QRect(12, cy - help.height() - 1, help.width(), help.height()));
        EXPECT_EQ(view->lineEdit()->geometry(),
                  QRect(12, cy - help.height() - edit.height() - 2, edit.width(), edit.height()));
        const QRect list = view->listView()->geometry();
        EXPECT_EQ(list.topLeft(), QPoint(12, groupH + 15));
        EXPECT_EQ(list.width(), listW);
        // 5 pixels between list and edit box, 1 between the boxes, 1 under the panel.
        EXPECT_EQ(view->lineEdit()->y() - (list.y() + list.height()), 5);
        EXPECT_EQ(view->helpPanel()->y() - (view->lineEdit()->y() + edit.height()), 1);
        EXPECT_EQ(view->control(cmd::Start)->geometry(), startButton);
    }
    // Taller by n: the list grows by n; wider: nothing moves.
    view->resize(500, 600);
    const int listH = view->listView()->height();
    view->resize(800, 640);
    EXPECT_EQ(view->listView()->height(), listH + 40);
    // Too short: the list's height stops at zero.
    view->resize(500, 50);
    EXPECT_EQ(view->listView()->height(), 0);
}

TEST_F(ViewTest, ChangeFetchesTheSelectedLine)
{
    fill({"a", "b", "c"});
    view->selectLine(1);
    test::triggerAction(view, "actionChange");
    EXPECT_EQ(view->lineEdit()->text(), QStringLiteral("b"));
    EXPECT_EQ(view->editIndex(), 1);

    // No selection: the box keeps its content.
    view->selectLine(-1);
    test::triggerAction(view, "actionChange");
    EXPECT_EQ(view->lineEdit()->text(), QStringLiteral("b"));
    EXPECT_EQ(view->editIndex(), -1);
}

TEST_F(ViewTest, InsertThreeTimesStacksCopies)
{
    fill({"l0", "l1", "l2"});
    view->selectLine(1);
    view->lineEdit()->setText(QStringLiteral("x"));
    for (int n = 0; n < 3; ++n)
        test::triggerAction(view, "actionInsert");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"l0", "x", "x", "x", "l1", "l2"}));
    EXPECT_EQ(view->selectedIndex(), 1);
    EXPECT_TRUE(view->document().isModified());
}

TEST_F(ViewTest, OverwriteAndInsertWithoutSelectionAppend)
{
    fill({"a"});
    view->lineEdit()->setText(QStringLiteral("o"));
    test::triggerAction(view, "actionOverwrite");
    view->lineEdit()->setText(QStringLiteral("i"));
    test::triggerAction(view, "actionInsert");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"a", "o", "i"}));
    EXPECT_EQ(view->selectedIndex(), -1);
}

TEST_F(ViewTest, OverwriteWithEmptyBoxEmptiesTheLine)
{
    fill({"a", "b"});
    view->selectLine(0);
    view->lineEdit()->clear();
    test::triggerAction(view, "actionOverwrite");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"", "b"}));
    EXPECT_EQ(view->selectedIndex(), 0);
}

TEST_F(ViewTest, DeleteSelectsTheFollowingLineOrNone)
{
    fill({"a", "b", "c"});
    test::triggerAction(view, "actionDelete"); // nothing selected: nothing happens
    EXPECT_EQ(lines().size(), 3u);

    view->selectLine(1);
    test::triggerAction(view, "actionDelete");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"a", "c"}));
    EXPECT_EQ(view->selectedIndex(), 1);

    test::triggerAction(view, "actionDelete"); // the last line: nothing left selected
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"a"}));
    EXPECT_EQ(view->selectedIndex(), -1);
}

TEST_F(ViewTest, OverwriteActsOnTheLineSelectedLast)
{
    fill({"a", "b", "c"});
    view->selectLine(0);
    test::triggerAction(view, "actionChange");
    view->selectLine(2);
    view->lineEdit()->setText(QStringLiteral("A"));
    test::triggerAction(view, "actionOverwrite");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"a", "b", "A"}));
}

TEST_F(ViewTest, SelectionFollowsItsLineWhenLinesMove)
{
    fill({"a", "b", "c"});
    view->selectLine(1);
    view->document().insertLine(0, "new", {}, ScriptDocument::kKeepSelection);
    EXPECT_EQ(view->selectedIndex(), 2);
    view->document().removeLines(0, 1, {}, ScriptDocument::kKeepSelection);
    EXPECT_EQ(view->selectedIndex(), 1);
}

TEST_F(ViewTest, BytesSurviveChangeAndOverwrite)
{
    // A NEC duplicate code, an invalid byte and a lone lead byte at the end.
    const ScriptLine odd = std::string("\x87\x90 \xFA\x4A \x80\xFF x\x82", 10);
    fill({odd});
    view->selectLine(0);
    test::triggerAction(view, "actionChange");
    test::triggerAction(view, "actionOverwrite");
    EXPECT_EQ(view->scriptList().text(0), odd);
}

TEST_F(ViewTest, AnOverwrittenLineIsRepaintedInPlace)
{
    // Only the changed row is repainted after an overwrite; rows stay where
    // they were, and a change of the last row, which sizes every row, still
    // lays the rows out again.
    std::vector<ScriptLine> content;
    for (int i = 0; i < 40; ++i)
        content.push_back("@WAIT(" + std::to_string(i) + ",0);");
    fill(content);
    ScriptListView *list = view->listView();
    QApplication::processEvents();
    const QModelIndex row3 = list->model()->index(3, 0);
    const QRect rect3 = list->visualRect(row3);
    const QImage before = list->viewport()->grab(rect3).toImage();

    view->document().replaceLine(3, "@COLOR(32);", {}, ScriptDocument::kKeepSelection);
    QApplication::processEvents();
    EXPECT_EQ(list->visualRect(row3), rect3);
    EXPECT_EQ(list->indexAt(rect3.center()), row3);
    EXPECT_NE(list->viewport()->grab(rect3).toImage(), before);

    // Several rows rewritten in one step (the timing offset) are painted again.
    const QRect rect5 = list->visualRect(list->model()->index(5, 0));
    PaintWatcher painted(list->viewport());
    view->document().replaceLines({{3, "@WAIT(9,9);"}, {5, "@WAIT(8,8);"}}, {});
    QApplication::processEvents();
    EXPECT_TRUE(painted.region.contains(rect3));
    EXPECT_TRUE(painted.region.contains(rect5));
    EXPECT_EQ(list->visualRect(row3), rect3);

    // Every row takes the last row's height: a last line whose characters
    // come from a taller font (the NEC circled digits here) changes them all.
    view->document().replaceLine(39, "\x87\x40\x87\x90", {}, ScriptDocument::kKeepSelection);
    QApplication::processEvents();
    const QModelIndex last = list->model()->index(39, 0);
    EXPECT_EQ(list->visualRect(row3).height(), list->sizeHintForIndex(last).height());
    EXPECT_EQ(list->visualRect(last).height(), list->sizeHintForIndex(last).height());
}

TEST_F(ViewTest, LongLinesAreNotCut)
{
    const ScriptLine longLine(100000, 'x');
    fill({longLine});
    view->selectLine(0);
    test::triggerAction(view, "actionChange");
    test::triggerAction(view, "actionInsert");
    EXPECT_EQ(view->scriptList().text(0), longLine);
    // The list shows a prefix of it.
    const QString shown = view->listView()->model()->index(0, 0).data().toString();
    EXPECT_LT(shown.size(), 5000);
}

TEST_F(ViewTest, TextWithoutShiftJisCodeIsRefused)
{
    fill({"a"});
    view->selectLine(0);
    view->lineEdit()->setText(QStringLiteral("caf\u00e9"));
    test::triggerAction(view, "actionInsert");
    test::triggerAction(view, "actionOverwrite");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"a"}));
    ASSERT_EQ(MessageBox::shownTexts().size(), 2);
    EXPECT_TRUE(MessageBox::shownTexts().at(0).contains(QStringLiteral("\u00e9")));
}

TEST_F(ViewTest, LoadAddsHeaderAndSaveWritesCrLf)
{
    const QString lyrics = writeTemp(QStringLiteral("song.txt"), "A\nB\n");
    FileDialog::setNextFileName(lyrics);
    test::triggerAction(view, "actionLyricsLoad");
    EXPECT_EQ(FileDialog::lastFilters(), (QStringList{QStringLiteral("TXT/WRDﾌｧｲﾙ(*.TXT;*.WRD)"),
                                                      QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
    ASSERT_EQ(lines().size(), 7u);
    EXPECT_EQ(lines()[4], "A");
    EXPECT_EQ(view->selectedIndex(), -1);
    EXPECT_FALSE(view->document().isModified());

    const QString out = m_dir.filePath(QStringLiteral("song.wrd"));
    FileDialog::setNextFileName(out);
    test::triggerAction(view, "actionWrdSave");
    EXPECT_EQ(FileDialog::lastFilters(), (QStringList{QStringLiteral("WRDﾌｧｲﾙ(*.WRD)"),
                                                      QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
    EXPECT_EQ(readFile(out), joinScriptLines(lines()));
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
}

TEST_F(ViewTest, FailedLoadKeepsTheList)
{
    fill({"keep"});
    FileDialog::setNextFileName(m_dir.filePath(QStringLiteral("missing.txt")));
    test::triggerAction(view, "actionLyricsLoad");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"keep"}));
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QStringLiteral("入力ファイルが開けません")});

    // A file the memory cannot hold: said, and the list kept.
    struct NoMemory : FileSystem {
        ReadStatus readAll(const std::string &, ByteBlock &) const override
        {
            throw std::bad_alloc();
        }
    } noMemory;
    FileSystem::setCurrent(&noMemory);
    MessageBox::clearShown();
    FileDialog::setNextFileName(m_dir.filePath(QStringLiteral("huge.wrd")));
    test::triggerAction(view, "actionLyricsLoad");
    FileSystem::setCurrent(nullptr);
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"keep"}));
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{QStringLiteral("メモリの確保に失敗")});

    // Cancelled dialog: nothing at all.
    MessageBox::clearShown();
    test::triggerAction(view, "actionLyricsLoad");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"keep"}));
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
}

TEST_F(ViewTest, SaveIntoMissingFolderSaysSo)
{
    fill({"x"});
    const QString target = m_dir.filePath(QStringLiteral("no/such/dir/out.wrd"));
    FileDialog::setNextFileName(target);
    test::triggerAction(view, "actionWrdSave");
    EXPECT_EQ(
        MessageBox::shownTexts(),
        QStringList{
            QStringLiteral("WRDファイルが開けません\n") + target +
            QStringLiteral("\nファイルを書き込み用に開けませんでした (フォルダーがありません)")});
}

TEST_F(ViewTest, LoadAsksBeforeDiscardingChanges)
{
    const QString lyrics = writeTemp(QStringLiteral("new.txt"), "N\n");
    fill({"edited"});
    view->document().replaceLine(0, "edited!", {}, ScriptDocument::kKeepSelection);

    // Cancel: nothing changes.
    FileDialog::setNextFileName(lyrics);
    MessageBox::setNextAnswer(MessageBox::Cancel);
    test::triggerAction(view, "actionLyricsLoad");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"edited!"}));
    EXPECT_EQ(MessageBox::shownTexts().size(), 1);

    // Save, then load.
    const QString saved = m_dir.filePath(QStringLiteral("kept.wrd"));
    FileDialog::setNextFileName(lyrics);
    FileDialog::setNextFileName(saved);
    MessageBox::setNextAnswer(MessageBox::Save);
    test::triggerAction(view, "actionLyricsLoad");
    EXPECT_EQ(readFile(saved), "edited!\r\n");
    EXPECT_EQ(lines().size(), 6u);

    // Unchanged since the load: no question.
    MessageBox::clearShown();
    FileDialog::setNextFileName(lyrics);
    test::triggerAction(view, "actionLyricsLoad");
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
}
