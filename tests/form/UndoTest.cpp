// Undo and redo as the author uses them: each command is one step, Ctrl+Z
// takes it back with its selection, Ctrl+Y makes it again, and the script
// counts as unchanged again once undone to the point it was saved at.
#include "support/FormTestSupport.h"

#include "aids/LyricLayoutDialog.h"
#include "aids/TimingOffsetDialog.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "support/Actions.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <functional>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

class UndoTest : public SeamedTest {
public:
    void SetUp() override
    {
        SeamedTest::SetUp();
        view = std::make_unique<VelkanView>();
        view->show();
        installTimingOffsetCommand(*view);
        installLyricLayoutCommand(*view);
        view->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
        view->document().assign({"@WAIT(1,0);", "one", "@WAIT(2,0);", "two", "@END();"}, {}, true);
        view->document().undoStack()->clear();
        view->document().setModified(false);
    }
    std::vector<ScriptLine> lines() const { return view->scriptList().lines().toVector(); }
    QString lyricsFile() { return writeTemp(QStringLiteral("new.txt"), "new\r\nlyrics\r\n"); }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers)
    {
        view->listView()->setFocus();
        QTest::keyClick(view->listView(), key, modifiers);
    }

    std::unique_ptr<VelkanView> view;
};

struct StepCase {
    const char *name;
    const char16_t *undoText;
    bool load; // a load counts as saved, and undoing it as a change
    std::function<void(UndoTest &, VelkanView &)> act;
};

TEST_F(UndoTest, EveryCommandIsOneStepBackAndForth)
{
    const StepCase cases[] = {
        {"insert", u"元に戻す: 行の挿入(&U)", false,
         [](UndoTest &, VelkanView &v) {
             v.lineEdit()->setText(QStringLiteral("@COLOR(32);"));
             test::triggerAction(&v, "actionInsert");
         }},
        {"overwrite", u"元に戻す: 行の上書き(&U)", false,
         [](UndoTest &, VelkanView &v) {
             v.lineEdit()->setText(QStringLiteral("いち"));
             test::triggerAction(&v, "actionOverwrite");
         }},
        {"delete", u"元に戻す: 行の削除(&U)", false,
         [](UndoTest &, VelkanView &v) { test::triggerAction(&v, "actionDelete"); }},
        {"lyrics load", u"元に戻す: 歌詞読込(&U)", true,
         [](UndoTest &t, VelkanView &v) {
             FileDialog::setNextFileName(t.lyricsFile());
             MessageBox::setNextAnswer(MessageBox::Discard);
             test::triggerAction(&v, "actionLyricsLoad");
         }},
        {"timing offset", u"元に戻す: 歌詞追い時間の調整(&U)", false,
         [](UndoTest &, VelkanView &v) {
             TimingOffsetDialog::setNextAnswer(true, 6);
             test::triggerAction(&v, "actionTimingOffset");
         }},
        {"layout session", u"元に戻す: 歌詞表示位置の設定(&U)", false,
         [](UndoTest &, VelkanView &v) {
             LyricLayoutDialog::setNextSession([](LyricLayoutDialog &d) {
                 d.lyricList()->selectRow(1);
                 QTest::mouseClick(d.control(LyricLayoutDialog::ConfirmButton), Qt::LeftButton);
                 d.colourList()->setCurrentRow(2);
                 emit d.colourList()->itemDoubleClicked(d.colourList()->item(2));
                 d.lyricList()->selectRow(4);
                 QTest::mouseClick(d.control(LyricLayoutDialog::ConfirmButton), Qt::LeftButton);
             });
             test::triggerAction(&v, "actionLyricLayout");
         }},
    };
    for (const StepCase &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        // A change made and saved before: undo stops at it.
        view->lineEdit()->setText(QStringLiteral("saved"));
        view->selectLine(4);
        test::triggerAction(view.get(), "actionInsert");
        view->document().setModified(false);

        view->selectLine(1);
        const auto before = lines();
        c.act(*this, *view);
        const auto after = lines();
        const int selectedAfter = view->selectedIndex();
        ASSERT_NE(after, before);
        EXPECT_NE(view->document().isModified(), c.load);
        EXPECT_EQ(view->undoAction()->text(), QString::fromUtf16(c.undoText));

        view->selectLine(0); // the author looks elsewhere before undoing
        press(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(lines(), before);
        EXPECT_EQ(view->selectedIndex(), 1);
        EXPECT_EQ(view->document().isModified(), c.load);
        EXPECT_EQ(view->redoAction()->text(),
                  QString::fromUtf16(c.undoText)
                      .replace(QStringLiteral("元に戻す"), QStringLiteral("やり直し"))
                      .replace(QStringLiteral("(&U)"), QStringLiteral("(&R)")));

        press(Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(lines(), after);
        EXPECT_EQ(view->selectedIndex(), selectedAfter);
        EXPECT_NE(view->document().isModified(), c.load);
        press(Qt::Key_Z,
              Qt::ControlModifier | Qt::ShiftModifier); // the other redo key: nothing left
        EXPECT_EQ(lines(), after);
        press(Qt::Key_Z, Qt::ControlModifier);
        press(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(lines(), after);
    }
}

TEST_F(UndoTest, NothingToUndoLeavesTheActionsPlainAndOff)
{
    EXPECT_EQ(view->undoAction()->text(), QStringLiteral("元に戻す(&U)"));
    EXPECT_EQ(view->redoAction()->text(), QStringLiteral("やり直し(&R)"));
    EXPECT_FALSE(view->undoAction()->isEnabled());
    EXPECT_FALSE(view->redoAction()->isEnabled());
    press(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(lines().size(), 5u);
}

TEST_F(UndoTest, TheLineEditKeepsItsOwnUndo)
{
    view->lineEdit()->setFocus();
    QTest::keyClicks(view->lineEdit(), QStringLiteral("abc"));
    view->lineEdit()->setText(QStringLiteral("@COLOR(32);"));
    test::triggerAction(view.get(), "actionInsert");
    const auto inserted = lines();
    view->lineEdit()->setFocus();
    QTest::keyClicks(view->lineEdit(), QStringLiteral("x"));
    QTest::keyClick(view->lineEdit(), Qt::Key_Z, Qt::ControlModifier);
    // The box took back its own typing; the script kept its line.
    EXPECT_EQ(view->lineEdit()->text(), QStringLiteral("@COLOR(32);"));
    EXPECT_EQ(lines(), inserted);
}

} // namespace
