#include "core/MeterMaps.h"
#include "core/RevealTestLines.h"
#include "support/FormTestSupport.h"

#include "aids/LyricRevealDialog.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/DialogUnits.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/ShiftJisCodec.h"
#include "support/Actions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace velkan;
using namespace velkan::test;
using D = LyricRevealDialog;

namespace {

class RevealDialogTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        QApplication::setStyle(QStringLiteral("Fusion"));
        view = std::make_unique<VelkanView>();
    }
    // Opens the dialog on the main form's lines.
    void open(std::vector<ScriptLine> lines)
    {
        view->document().assign(std::move(lines));
        dialog = std::make_unique<D>(*view);
        dialog->show();
    }
    // The worked example at 10..14 between filler lines.
    static std::vector<ScriptLine> example()
    {
        std::vector<ScriptLine> lines;
        for (int i = 0; i < 10; ++i)
            lines.push_back("filler " + std::to_string(i));
        for (const char *l : {"@LOCATE(5;20);", "", "@WAIT(12,96);", "", "@WAIT(12,144);"})
            lines.emplace_back(l);
        lines[11] = kAiu;
        lines[13] = kEoSemi;
        lines.emplace_back("after");
        return lines;
    }
    // Selects the rows as a user would: the dialog is told of the change.
    void select(const std::vector<int> &rows)
    {
        QItemSelection s;
        for (int r : rows)
            s.select(index(r), index(r));
        dialog->lineList()->selectionModel()->select(s, QItemSelectionModel::ClearAndSelect);
    }
    void selectRange(int first, int last)
    {
        dialog->lineList()->selectionModel()->select(QItemSelection(index(first), index(last)),
                                                     QItemSelectionModel::ClearAndSelect);
    }
    QModelIndex index(int row) const { return dialog->lineList()->model()->index(row, 0); }
    void click(int id) { static_cast<QAbstractButton *>(dialog->control(id))->click(); }
    QLineEdit *edit(int id) const { return static_cast<QLineEdit *>(dialog->control(id)); }
    std::string text(int id) const { return *ShiftJis::encode(edit(id)->text()); }
    void chooseTiming(int listId, int row)
    {
        static_cast<QListWidget *>(dialog->control(listId))->setCurrentRow(row);
    }
    void expectMirrored() const { EXPECT_EQ(dialog->lines().lines(), view->scriptList().lines()); }
    std::vector<int> range(int first, int last) const
    {
        std::vector<int> v;
        for (int i = first; i <= last; ++i)
            v.push_back(i);
        return v;
    }

    std::unique_ptr<VelkanView> view;
    std::unique_ptr<D> dialog;
};

} // namespace

TEST_F(RevealDialogTest, WorkedExampleLineForLineInBothLists)
{
    open(example());
    selectRange(10, 14);

    click(D::AppearLineByLine);
    chooseTiming(D::AppearTimingList, 1);
    click(D::AppearTimingButton);
    EXPECT_EQ(text(D::AppearStartEdit), "@WAIT(12,0);");
    EXPECT_EQ(text(D::AppearEndEdit), "@WAIT(12,48);");
    click(D::AppearConfirmButton);
    EXPECT_EQ(dialog->selectedIndexes(), range(18, 22));

    // The appear method's group leaves the erase method alone.
    EXPECT_EQ(dialog->eraseMethod(), RevealMethod::AllAtOnce);
    EXPECT_TRUE(static_cast<QRadioButton *>(dialog->control(D::EraseAllAtOnce))->isChecked());
    click(D::EraseTimingButton);
    EXPECT_EQ(text(D::EraseStartEdit), "@WAIT(13,0);");
    EXPECT_EQ(text(D::EraseEndEdit), "@WAIT(13,0);");
    click(D::EraseConfirmButton);

    std::vector<ScriptLine> expected = example();
    const std::vector<ScriptLine> appear = {kAppearStart,
                                            "@WAIT(12,0);",
                                            "@WMODE(11,0);",
                                            "@LOCATE(5;20);",
                                            kAiu,
                                            kEo,
                                            "@WMODE(23,0);",
                                            kAppearEnd + "@WAIT(12,48);"};
    const std::vector<ScriptLine> erase = {
        kEraseStart, "@WAIT(13,0);", "@WMODE(23,0);", "@LOCATE(5;20);",
        "      ;",   "     ;",       "@WMODE(23,0);", kEraseEnd + "@WAIT(13,0);"};
    expected.insert(expected.begin() + 15, erase.begin(), erase.end());
    expected.insert(expected.begin() + 10, appear.begin(), appear.end());
    EXPECT_EQ(dialog->lines().lines(), expected);
    expectMirrored();
    EXPECT_EQ(dialog->selectedIndexes(), range(18, 22));
}

TEST_F(RevealDialogTest, OpensWithItsTemplate)
{
    open(example());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("歌詞出現消去ﾀﾞｲｱﾛｸﾞ"));
    EXPECT_EQ(dialog->lines().lines(), example());
    EXPECT_TRUE(dialog->selectedIndexes().empty());
    EXPECT_EQ(dialog->lineList()->selectionMode(), QAbstractItemView::ExtendedSelection);

    const DialogUnits du(Fonts::formFont());
    EXPECT_EQ(dialog->lineList()->geometry(), du.rect(7, 21, 129, 257));
    EXPECT_EQ(dialog->control(D::AppearConfirmButton)->geometry(), du.rect(252, 112, 32, 16));
    EXPECT_EQ(dialog->control(D::EraseTimingList)->geometry(), du.rect(220, 188, 67, 36));

    for (int id : {D::AppearTimingList, D::EraseTimingList}) {
        auto *list = static_cast<QListWidget *>(dialog->control(id));
        ASSERT_EQ(list->count(), 4);
        EXPECT_EQ(list->item(3)->text(), QStringLiteral("三十二分音符"));
        EXPECT_EQ(list->selectedItems(), QList<QListWidgetItem *>{list->item(0)});
    }
    for (int id : {D::AppearAllAtOnce, D::EraseAllAtOnce})
        EXPECT_TRUE(static_cast<QRadioButton *>(dialog->control(id))->isChecked());
    EXPECT_FALSE(edit(D::AppearStartEdit)->isReadOnly());
    EXPECT_FALSE(edit(D::EraseStartEdit)->isReadOnly());
    EXPECT_TRUE(edit(D::AppearEndEdit)->isReadOnly());
    EXPECT_TRUE(edit(D::EraseEndEdit)->isReadOnly());
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        EXPECT_FALSE(b->autoDefault()) << b->objectName().toStdString();
    auto *label = dialog->findChild<QLabel *>(QStringLiteral("instructionLabel"));
    EXPECT_EQ(label->text(), QStringLiteral("マウスクリックで範囲を指定して下さい"));

    // Enter in a start edit writes nothing.
    selectRange(10, 14);
    edit(D::AppearStartEdit)->setText(QStringLiteral("@WAIT(3,0);"));
    edit(D::AppearStartEdit)->setFocus();
    QTest::keyClick(edit(D::AppearStartEdit), Qt::Key_Return);
    EXPECT_EQ(dialog->lines().count(), 16);
    EXPECT_EQ(view->scriptList().count(), 16);
    // Esc closes it.
    QTest::keyClick(edit(D::AppearStartEdit), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(RevealDialogTest, EachRadioSetsOnlyItsOwnGroupsMethod)
{
    open(example());
    struct Case {
        int id;
        RevealMethod appear, erase;
    } cases[] = {
        {D::AppearCharByChar, RevealMethod::CharByChar, RevealMethod::AllAtOnce},
        {D::EraseLineByLine, RevealMethod::CharByChar, RevealMethod::LineByLine},
        {D::AppearLineByLine, RevealMethod::LineByLine, RevealMethod::LineByLine},
        {D::EraseCharByChar, RevealMethod::LineByLine, RevealMethod::CharByChar},
        {D::AppearAllAtOnce, RevealMethod::AllAtOnce, RevealMethod::CharByChar},
        {D::EraseAllAtOnce, RevealMethod::AllAtOnce, RevealMethod::AllAtOnce},
    };
    for (const Case &c : cases) {
        QTest::mouseClick(dialog->control(c.id), Qt::LeftButton);
        EXPECT_EQ(dialog->appearMethod(), c.appear) << c.id;
        EXPECT_EQ(dialog->eraseMethod(), c.erase) << c.id;
        for (int id = D::AppearAllAtOnce; id <= D::EraseCharByChar; ++id) {
            const bool appearRadio = id <= D::AppearCharByChar;
            const auto method = appearRadio ? c.appear : c.erase;
            const int checked = (appearRadio ? D::AppearAllAtOnce : D::EraseAllAtOnce) +
                                static_cast<int>(method) - 1;
            EXPECT_EQ(static_cast<QRadioButton *>(dialog->control(id))->isChecked(), id == checked)
                << c.id << " radio " << id;
        }
    }
}

TEST_F(RevealDialogTest, MarksAndEditsSurviveTheDialogsOwnInsertsButNotAUserClick)
{
    open(example());
    select({11, 13, 14});
    click(D::AppearCharByChar);
    click(D::AppearTimingButton);
    // A quarter before the range's first timing line, 12:144; 11 bytes x 48 steps before that.
    EXPECT_EQ(text(D::AppearEndEdit), "@WAIT(12,96);");
    EXPECT_EQ(text(D::AppearStartEdit), "@WAIT(9,144);");
    click(D::AppearConfirmButton);
    EXPECT_EQ(dialog->selectedIndexes(), (std::vector<int>{18, 20, 21}));
    EXPECT_EQ(text(D::AppearStartEdit), "@WAIT(9,144);");
    click(D::AppearConfirmButton); // a second block lands between the first and the range
    EXPECT_EQ(dialog->selectedIndexes(), (std::vector<int>{25, 27, 28}));
    EXPECT_EQ(dialog->lines().at(18), kAppearStart);
    EXPECT_EQ(dialog->lines().at(17), kAppearEnd + "@WAIT(12,96);");
    click(D::EraseConfirmButton);
    EXPECT_EQ(dialog->selectedIndexes(), (std::vector<int>{25, 27, 28}));
    EXPECT_EQ(dialog->lines().at(29), kEraseStart);
    EXPECT_EQ(text(D::AppearEndEdit), "@WAIT(12,96);");
    expectMirrored();

    auto *list = dialog->lineList();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index(2)).center());
    EXPECT_EQ(dialog->selectedIndexes(), std::vector<int>{2});
    for (int id : {D::AppearStartEdit, D::AppearEndEdit, D::EraseStartEdit, D::EraseEndEdit})
        EXPECT_TRUE(edit(id)->text().isEmpty()) << id;
}

TEST_F(RevealDialogTest, NothingToWorkOnChangesNothing)
{
    open(example());
    // No timing line in the range and empty starts: both timings leave the edits.
    select({11});
    edit(D::EraseEndEdit)->setText(QStringLiteral("kept"));
    click(D::AppearTimingButton);
    click(D::EraseTimingButton);
    EXPECT_TRUE(text(D::AppearStartEdit).empty());
    EXPECT_EQ(text(D::EraseEndEdit), "kept");

    // No selection: confirms and the delete do nothing.
    dialog->lineList()->selectionModel()->clear();
    click(D::AppearConfirmButton);
    click(D::EraseConfirmButton);
    click(D::DeleteRangeButton);
    EXPECT_EQ(dialog->lines().lines(), example());
    expectMirrored();

    // Text with no Shift-JIS code is refused with a word, and nothing is written.
    selectRange(10, 14);
    MessageBox::clearShown();
    edit(D::AppearStartEdit)->setText(QStringLiteral("@WAIT(1,0);\u2603"));
    click(D::AppearTimingButton);
    click(D::AppearConfirmButton);
    EXPECT_EQ(MessageBox::shownTexts().size(), 2);
    EXPECT_TRUE(MessageBox::shownTexts().value(0).contains(QStringLiteral("\u2603")));
    EXPECT_TRUE(edit(D::AppearEndEdit)->text().isEmpty());
    EXPECT_EQ(dialog->lines().lines(), example());
}

TEST_F(RevealDialogTest, AStartWithALineBreakWritesNoBlock)
{
    open(example());
    const QString message =
        QStringLiteral("改行やCtrl-Z (0x1A) を含むテキストは1行に入れられません。");
    struct Case {
        int startEdit;
        int button;
        QString text;
    };
    const Case cases[] = {
        {D::AppearStartEdit, D::AppearConfirmButton, QStringLiteral("@WAIT(12,0);\r\n@END();")},
        {D::AppearStartEdit, D::AppearConfirmButton, QStringLiteral("@WAIT(12,0);\n")},
        {D::EraseStartEdit, D::EraseConfirmButton, QStringLiteral("\r@WAIT(13,0);")},
        // ICU writes this one as byte 1A, which would end the script on its next load.
        {D::EraseStartEdit, D::EraseConfirmButton, QStringLiteral("@WAIT(13,0);\u001C")},
        {D::AppearStartEdit, D::AppearTimingButton, QStringLiteral("@WAIT(12,0);\n")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        selectRange(10, 14);
        edit(c.startEdit)->setText(c.text);
        MessageBox::clearShown();
        click(c.button);
        EXPECT_EQ(MessageBox::shownTexts(), QStringList{message});
        EXPECT_EQ(dialog->lines().lines(), example());
        expectMirrored();
        EXPECT_EQ(edit(c.startEdit)->text(), c.text);
    }
    // The same start on one line is written.
    edit(D::AppearStartEdit)->setText(QStringLiteral("@WAIT(12,0);"));
    MessageBox::clearShown();
    click(D::AppearConfirmButton);
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
    EXPECT_EQ(dialog->lines().text(10), std::string(kAppearStartMarker));
    EXPECT_EQ(dialog->lines().text(11), "@WAIT(12,0);");
    expectMirrored();
}

TEST_F(RevealDialogTest, BarsAreAsLongAsTheLoadedMeter)
{
    view->playback()->useTimeline(std::make_shared<const SongTimeline>(threeFour()));
    open({"@WAIT(5,24);", kAiu, "@WAIT(5,96);", kEoSemi, "@WAIT(1,20);"});
    selectRange(0, 3);
    click(D::AppearLineByLine);
    chooseTiming(D::AppearTimingList, 1);
    click(D::AppearTimingButton);
    // A quarter, then two eighths, back across a 144-step bar.
    EXPECT_EQ(text(D::AppearEndEdit), "@WAIT(4,120);");
    EXPECT_EQ(text(D::AppearStartEdit), "@WAIT(4,72);");
    click(D::EraseTimingButton);
    EXPECT_EQ(text(D::EraseStartEdit), "@WAIT(6,24);");

    // Never before bar 1: a quarter before 1:20 is held at 1:0.
    select({4});
    click(D::AppearTimingButton);
    EXPECT_EQ(text(D::AppearEndEdit), "@WAIT(1,0);");
    EXPECT_EQ(text(D::AppearStartEdit), "@WAIT(1,0);");
}

TEST_F(RevealDialogTest, DeleteRemovesLargeAndScatteredSelectionsFromBothLists)
{
    constexpr int kLines = 100000;
    std::vector<ScriptLine> lines;
    for (int i = 0; i < kLines; ++i)
        lines.push_back(std::to_string(i));
    open(lines);
    view->selectLine(50000); // inside the range: the main form's mark goes with it
    QItemSelection s(index(10), index(kLines - 11));
    s.select(index(3), index(3));
    s.select(index(5), index(6));
    s.select(index(kLines - 2), index(kLines - 2));
    dialog->lineList()->selectionModel()->select(s, QItemSelectionModel::ClearAndSelect);
    edit(D::EraseStartEdit)->setText(QStringLiteral("@WAIT(2,0);"));

    click(D::DeleteRangeButton);
    const std::vector<ScriptLine> expected = {"0",
                                              "1",
                                              "2",
                                              "4",
                                              "7",
                                              "8",
                                              "9",
                                              std::to_string(kLines - 10),
                                              std::to_string(kLines - 9),
                                              std::to_string(kLines - 8),
                                              std::to_string(kLines - 7),
                                              std::to_string(kLines - 6),
                                              std::to_string(kLines - 5),
                                              std::to_string(kLines - 4),
                                              std::to_string(kLines - 3),
                                              std::to_string(kLines - 1)};
    EXPECT_EQ(dialog->lines().lines(), expected);
    expectMirrored();
    EXPECT_TRUE(dialog->selectedIndexes().empty());
    EXPECT_EQ(view->selectedIndex(), -1);
    EXPECT_EQ(text(D::EraseStartEdit), "@WAIT(2,0);");

    // A main-form mark below the deleted lines moves up with its line.
    view->selectLine(8);
    select({1, 4});
    click(D::DeleteRangeButton);
    EXPECT_EQ(view->selectedIndex(), 6);
    EXPECT_EQ(view->scriptList().text(6), std::to_string(kLines - 9));
    expectMirrored();
}

TEST_F(RevealDialogTest, ClearRangeUnmarksFirstToLastAndKeepsTheEdits)
{
    open(example());
    select({2, 5, 9});
    edit(D::AppearStartEdit)->setText(QStringLiteral("@WAIT(2,0);"));
    click(D::ClearRangeButton);
    EXPECT_TRUE(dialog->selectedIndexes().empty());
    EXPECT_EQ(text(D::AppearStartEdit), "@WAIT(2,0);");
    click(D::ClearRangeButton); // nothing marked: nothing happens
    EXPECT_EQ(dialog->lines().lines(), example());
}

TEST_F(RevealDialogTest, ResizeMovesOnlyTheLineList)
{
    open(example());
    const int listWidth = dialog->lineList()->width();
    const QRect button = dialog->control(D::DeleteRangeButton)->geometry();
    for (const QSize size : {QSize(700, 600), QSize(500, 480), QSize(480, 20)}) {
        dialog->resize(size);
        EXPECT_EQ(dialog->lineList()->geometry(),
                  QRect(12, 30, listWidth, std::max(0, size.height() - 35)));
        EXPECT_EQ(dialog->control(D::DeleteRangeButton)->geometry(), button);
    }
}

TEST_F(RevealDialogTest, CommandOpensTheDialogModallyAndDiscardsIt)
{
    installLyricRevealCommand(*view);
    view->document().assign({"a", "b"});
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        auto *d = qobject_cast<D *>(QApplication::activeModalWidget());
        seen = d && d->lines().count() == 2;
        if (d)
            d->close();
    });
    EXPECT_TRUE(test::triggerAction(view, "actionLyricReveal"));
    EXPECT_TRUE(seen);
    EXPECT_TRUE(view->findChildren<D *>().isEmpty());
}
