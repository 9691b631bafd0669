#include "LyricLayoutTestSupport.h"

#include "aids/CommandTemplateMenu.h"
#include "aids/LyricLayoutUpDown.h"
#include "aids/core/CommandTemplates.h"
#include "form/CommandIds.h"
#include "support/Actions.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

using namespace velkan;
using velkan::test::LayoutDialogTest;
using velkan::test::lyricsScript;
using velkan::test::sjis;

namespace {

const ScriptLine kBlackPal =
    "@PAL(000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);";

std::vector<ScriptLine> withLines(std::vector<ScriptLine> lines, int at,
                                  std::initializer_list<ScriptLine> added)
{
    lines.insert(lines.begin() + at, added.begin(), added.end());
    return lines;
}

} // namespace

TEST_F(LayoutDialogTest, SetUpCopiesTheListAndStartsFromItsValues)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("歌詞配置ダイアログ"));
    EXPECT_EQ(dialogLines(), lyricsScript());
    EXPECT_EQ(dialog->lyricList()->selectedRow(), 4);
    EXPECT_EQ(label(LyricLayoutDialog::Prompt), QStringLiteral("背景色を設定して下さい"));
    EXPECT_EQ(label(LyricLayoutDialog::PositionLabel), QStringLiteral("Static"));
    EXPECT_EQ(dialog->spacingEdit()->text(), QStringLiteral("2"));
    EXPECT_EQ(dialog->rowBar()->minimum(), 1);
    EXPECT_EQ(dialog->rowBar()->maximum(), 25);
    EXPECT_EQ(dialog->rowBar()->value(), 25);
    EXPECT_EQ(dialog->columnBar()->maximum(), 80);
    EXPECT_EQ(dialog->columnBar()->value(), 10);
    QStringList names;
    for (int i = 0; i < dialog->colourList()->count(); ++i)
        names << dialog->colourList()->item(i)->text();
    EXPECT_EQ(names, QString::fromUtf8("白 赤 緑 黄 青 紫 水 黒").split(QLatin1Char(' ')));
    EXPECT_EQ(dialog->colourList()->currentRow(), 0);
    EXPECT_EQ(dialog->textColour(), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(dialog->backgroundColour(), QColor(0, 0, 0));
    for (const char *name : {"backgroundButton", "confirmButton", "clearButton"})
        EXPECT_FALSE(dialog->findChild<QPushButton *>(QString::fromLatin1(name))->autoDefault());
}

TEST_F(LayoutDialogTest, TheWorkedExampleWritesItsLinesAboveTheLyricInBothLists)
{
    open();
    PaletteDialog::setNextAnswer(true, PaletteColour{0, 0, 8});
    clickButton(LyricLayoutDialog::BackgroundButton);
    EXPECT_EQ(label(LyricLayoutDialog::Prompt),
              QStringLiteral("配置する歌詞をリストボックスから選択(ダブルクリック)して下さい"));
    const int lyricRow = dialog->lyricList()->selectedRow();
    chooseLyric(lyricRow);
    EXPECT_EQ(label(LyricLayoutDialog::Prompt),
              QStringLiteral("上下左右ボタンで希望する位置へ移動して下さい"));
    EXPECT_EQ(dialog->state().row, 3);
    right(10);
    EXPECT_EQ(label(LyricLayoutDialog::PositionLabel), QStringLiteral("(行:3 桁:20)"));
    confirmPosition();
    clickRow(dialog->colourList(), 3);
    EXPECT_EQ(label(LyricLayoutDialog::Prompt),
              QStringLiteral("この色でよければダブルクリックで確定して下さい"));
    doubleClickRow(dialog->colourList(), 3);
    EXPECT_EQ(label(LyricLayoutDialog::Prompt),
              QStringLiteral("次に配置する歌詞をダブルクリックで選択して下さい"));

    const std::vector<ScriptLine> expected =
        withLines(lyricsScript(), 4,
                  {"@PAL(008,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);",
                   "@LOCATE(3;20);", "@COLOR(33);"});
    EXPECT_EQ(dialogLines(), expected);
    EXPECT_EQ(mainLines(), expected);
    // The selection stays on the lyric as lines stack up above it.
    EXPECT_EQ(dialog->lyricList()->selectedRow(), 7);
    EXPECT_EQ(dialog->lyrics().at(7), sjis(QStringLiteral("さくら さくら")));
}

TEST_F(LayoutDialogTest, WithoutASelectionLinesGoToTheEndOfBothLists)
{
    const std::vector<ScriptLine> shortScript{"@STARTUP(1);", "la la"};
    open(shortScript);
    EXPECT_EQ(dialog->lyricList()->selectedRow(), -1);
    PaletteDialog::setNextAnswer(true);
    clickButton(LyricLayoutDialog::BackgroundButton);
    confirmPosition();
    doubleClickRow(dialog->colourList(), 1);
    const std::vector<ScriptLine> expected{"@STARTUP(1);", "la la", kBlackPal, "@LOCATE(1;10);",
                                           "@COLOR(31);"};
    EXPECT_EQ(dialogLines(), expected);
    EXPECT_EQ(mainLines(), expected);
}

TEST_F(LayoutDialogTest, ADoubleClickWithNoLineSelectedDoesNothing)
{
    open({"only"});
    dialog->lyricList()->selectionModel()->clearSelection();
    QTest::mouseDClick(dialog->lyricList()->viewport(), Qt::LeftButton, {}, QPoint(5, 200));
    EXPECT_EQ(dialog->state().row, 1);
    EXPECT_EQ(label(LyricLayoutDialog::PositionLabel), QStringLiteral("Static"));
}

TEST_F(LayoutDialogTest, ACancelledBackgroundWritesNothing)
{
    open();
    PaletteDialog::setNextAnswer(false, PaletteColour{15, 0, 0});
    clickButton(LyricLayoutDialog::BackgroundButton);
    EXPECT_EQ(mainLines(), lyricsScript());
    EXPECT_EQ(dialog->backgroundColour(), QColor(0, 0, 0));
    EXPECT_EQ(label(LyricLayoutDialog::Prompt),
              QStringLiteral("配置する歌詞をリストボックスから選択(ダブルクリック)して下さい"));
}

TEST_F(LayoutDialogTest, RowTwentySixLiesBelowTheScreenUntilTheNextArrow)
{
    for (bool downAfter : {true, false}) {
        open();
        down(23);
        ASSERT_EQ(dialog->state().row, 24);
        chooseLyric(4);
        EXPECT_EQ(dialog->state().row, 26);
        EXPECT_EQ(label(LyricLayoutDialog::PositionLabel), QStringLiteral("(行:26 桁:10)"));
        EXPECT_EQ(dialog->rowBar()->value(), 1);
        confirmPosition();
        EXPECT_EQ(mainLines()[4], "@LOCATE(26;10);");
        if (downAfter)
            down();
        else
            up();
        EXPECT_EQ(dialog->state().row, downAfter ? 25 : 24);
        EXPECT_EQ(dialog->rowBar()->value(), downAfter ? 1 : 2);
    }
}

TEST_F(LayoutDialogTest, ArrowsHoldRowAndColumnToTheScreen)
{
    open();
    up(3);
    EXPECT_EQ(dialog->state().row, 1);
    EXPECT_EQ(dialog->rowBar()->value(), 25);
    down(40);
    EXPECT_EQ(dialog->state().row, 25);
    left(20);
    EXPECT_EQ(dialog->state().column, 1);
    right(100);
    EXPECT_EQ(dialog->state().column, 80);
    EXPECT_EQ(dialog->columnBar()->value(), 80);
    EXPECT_EQ(label(LyricLayoutDialog::PositionLabel), QStringLiteral("(行:25 桁:80)"));
    // Only the arrows move: the trough, the ends and a drag leave the cursor.
    for (auto action : {QAbstractSlider::SliderPageStepSub, QAbstractSlider::SliderToMinimum,
                        QAbstractSlider::SliderToMaximum, QAbstractSlider::SliderPageStepAdd}) {
        dialog->rowBar()->triggerAction(action);
        dialog->columnBar()->triggerAction(action);
    }
    dialog->columnBar()->setSliderDown(true);
    dialog->columnBar()->setSliderPosition(30);
    dialog->columnBar()->setSliderDown(false);
    EXPECT_EQ(dialog->state().row, 25);
    EXPECT_EQ(dialog->state().column, 80);
    EXPECT_EQ(dialog->rowBar()->value(), 1);
    EXPECT_EQ(dialog->columnBar()->value(), 80);
}

TEST_F(LayoutDialogTest, TheUpperArrowButtonRaisesTheLyric)
{
    open();
    down(5); // row 6
    QScrollBar *rows = dialog->rowBar();
    QScrollBar *columns = dialog->columnBar();
    // Fusion's arrow buttons sit at the ends of the bar.
    QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(rows->width() / 2, 3));
    EXPECT_EQ(dialog->state().row, 5);
    QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(rows->width() / 2, rows->height() - 3));
    QTest::mouseClick(rows, Qt::LeftButton, {}, QPoint(rows->width() / 2, rows->height() - 3));
    EXPECT_EQ(dialog->state().row, 7);
    QTest::mouseClick(columns, Qt::LeftButton, {}, QPoint(3, columns->height() / 2));
    EXPECT_EQ(dialog->state().column, 9);
    QTest::mouseClick(columns, Qt::LeftButton, {},
                      QPoint(columns->width() - 3, columns->height() / 2));
    EXPECT_EQ(dialog->state().column, 10);
}

TEST_F(LayoutDialogTest, TypedSpacingIsUsedAsTyped)
{
    struct Case {
        const char *typed;
        int row; // after one lyric choice from row 1
    };
    const Case cases[] = {{"0", 1}, {"-3", -2}, {"3abc", 4}, {" 7", 8}, {"abc", 1}, {"", 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        open();
        dialog->spacingEdit()->setText(QString::fromLatin1(c.typed));
        chooseLyric(4);
        EXPECT_EQ(dialog->state().row, c.row);
        EXPECT_EQ(label(LyricLayoutDialog::PositionLabel),
                  QStringLiteral("(行:%1 桁:10)").arg(c.row));
    }
    // Above the screen, the next arrow brings the row back the same way.
    open();
    dialog->spacingEdit()->setText(QStringLiteral("-3"));
    chooseLyric(4);
    EXPECT_EQ(dialog->rowBar()->value(), 25);
    up();
    EXPECT_EQ(dialog->state().row, 1);
}

TEST_F(LayoutDialogTest, UpDownWritesOneToFourIntoTheBox)
{
    open();
    QToolButton *upButton = dialog->spacingUpDown()->upButton();
    QToolButton *downButton = dialog->spacingUpDown()->downButton();
    upButton->click();
    upButton->click();
    upButton->click();
    EXPECT_EQ(dialog->spacingEdit()->text(), QStringLiteral("4"));
    EXPECT_EQ(dialog->state().lineSpacing, 4);
    dialog->spacingEdit()->setText(QStringLiteral("0"));
    downButton->click();
    EXPECT_EQ(dialog->spacingEdit()->text(), QStringLiteral("1"));
    dialog->spacingEdit()->setText(QStringLiteral("9"));
    downButton->click();
    EXPECT_EQ(dialog->spacingEdit()->text(), QStringLiteral("4"));
    EXPECT_EQ(dialog->state().lineSpacing, 4);
}

TEST_F(LayoutDialogTest, EnterInTheSpacingBoxPressesNoButton)
{
    open();
    dialog->activateWindow();
    dialog->spacingEdit()->setFocus();
    QTest::keyClick(dialog->spacingEdit(), Qt::Key_Return);
    QTest::keyClick(dialog->spacingEdit(), Qt::Key_Enter);
    EXPECT_EQ(mainLines(), lyricsScript());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(LayoutDialogTest, DeleteRemovesTheCaretLineFromBothListsAndLeavesNoSelection)
{
    open();
    view->selectLine(4);
    dialog->lyricList()->setFocus();
    QTest::keyClick(dialog->lyricList(), Qt::Key_Delete);
    std::vector<ScriptLine> expected = lyricsScript();
    expected.erase(expected.begin() + 4);
    EXPECT_EQ(dialogLines(), expected);
    EXPECT_EQ(mainLines(), expected);
    EXPECT_EQ(dialog->lyricList()->selectedRow(), -1);
    EXPECT_EQ(view->selectedIndex(), -1);
    // Until a line is chosen again, lines go to the end.
    confirmPosition();
    expected.push_back("@LOCATE(1;10);");
    EXPECT_EQ(dialogLines(), expected);
    EXPECT_EQ(mainLines(), expected);
}

// The main form's selection follows its own line: a line selected below or
// above the deleted one stays selected.
TEST_F(LayoutDialogTest, DeleteKeepsAnotherSelectedLineOfTheMainForm)
{
    struct Case {
        int selected;
        int afterDelete;
    };
    for (const Case c : {Case{5, 4}, Case{6, 5}, Case{2, 2}}) {
        SCOPED_TRACE(c.selected);
        open();
        view->selectLine(c.selected);
        const ScriptLine line = view->scriptList().text(c.selected);
        dialog->lyricList()->setFocus();
        QTest::keyClick(dialog->lyricList(), Qt::Key_Delete);
        EXPECT_EQ(view->selectedIndex(), c.afterDelete);
        EXPECT_EQ(view->scriptList().text(c.afterDelete), line);
        dialog->reject();
    }
}

TEST_F(LayoutDialogTest, DeleteInAnEmptyListDoesNothing)
{
    open({});
    dialog->lyricList()->setFocus();
    QTest::keyClick(dialog->lyricList(), Qt::Key_Delete);
    EXPECT_TRUE(mainLines().empty());
    EXPECT_TRUE(dialogLines().empty());
}

TEST_F(LayoutDialogTest, EveryTextColourWritesItsLineAndDrawsInItsColour)
{
    const std::pair<const char *, QColor> table[] = {
        {"@COLOR(37);", QColor(0xF0, 0xF0, 0xF0)}, {"@COLOR(31);", QColor(0xF0, 0, 0)},
        {"@COLOR(32);", QColor(0, 0xF0, 0)},       {"@COLOR(33);", QColor(0xF0, 0xF0, 0)},
        {"@COLOR(34);", QColor(0, 0, 0xF0)},       {"@COLOR(35);", QColor(0xF0, 0, 0xF0)},
        {"@COLOR(36);", QColor(0, 0xF0, 0xF0)},    {"@COLOR(30);", QColor(0, 0, 0)},
    };
    for (int position = 0; position < 8; ++position) {
        SCOPED_TRACE(position);
        open();
        chooseLyric(4);
        doubleClickRow(dialog->colourList(), position);
        EXPECT_EQ(mainLines()[4], table[position].first);
        EXPECT_EQ(dialogLines()[4], table[position].first);
        EXPECT_EQ(dialog->textColour(), table[position].second);
        EXPECT_EQ(dialog->state().row, 3); // the colour redraws in place
    }
    // No colour selected counts as white.
    open();
    dialog->colourList()->clearSelection();
    EXPECT_EQ(dialog->textColour(), QColor(0xF0, 0xF0, 0xF0));
    clickButton(LyricLayoutDialog::ConfirmButton);
    dialog->colourList()->doubleClicked({});
    EXPECT_EQ(mainLines()[5], "@COLOR(37);");
}

TEST_F(LayoutDialogTest, EscapeClosesAndChangesNothing)
{
    open();
    dialog->activateWindow();
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(mainLines(), lyricsScript());
}

TEST_F(LayoutDialogTest, MenuCommandOpensAFreshDialogOverTheScript)
{
    view->document().assign(lyricsScript());
    EXPECT_EQ(view->paletteColour(), PaletteColour{});
    int sessions = 0;
    for (int run = 0; run < 2; ++run) {
        LyricLayoutDialog::setNextSession([&](LyricLayoutDialog &d) {
            ++sessions;
            EXPECT_TRUE(d.isVisible());
            EXPECT_EQ(d.lyrics().lines(), view->scriptList().lines());
            EXPECT_EQ(d.backgroundColour(), QColor(0, 0, 0));
            EXPECT_EQ(d.state().row, 1);
            d.lyricList()->doubleClicked({});
            QTest::mouseClick(d.control(LyricLayoutDialog::ConfirmButton), Qt::LeftButton);
        });
        EXPECT_TRUE(test::triggerAction(view, "actionLyricLayout"));
    }
    EXPECT_EQ(sessions, 2);
    EXPECT_EQ(view->scriptList().lines(),
              withLines(lyricsScript(), 4, {"@LOCATE(3;10);", "@LOCATE(3;10);"}));
}

TEST_F(LayoutDialogTest, TheBackgroundIsTheFormsPaletteColourForThePalTemplateToo)
{
    installCommandTemplateCommands(*view);
    struct Case {
        bool accepted;
        PaletteColour colour;
        QString palLine; // the PAL template's line, its own dialog accepted unchanged
    };
    const Case cases[] = {
        {true,
         {0, 0, 8},
         QStringLiteral("@PAL(008,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);")},
        // Cancelled, the layout dialog writes nothing but the form keeps the colour.
        {false,
         {15, 4, 0},
         QStringLiteral("@PAL(F40,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.palLine.toStdString());
        open();
        PaletteDialog::setNextAnswer(c.accepted, c.colour);
        clickButton(LyricLayoutDialog::BackgroundButton);
        EXPECT_EQ(view->paletteColour(), c.colour);
        EXPECT_EQ(mainLines().size(), lyricsScript().size() + (c.accepted ? 1 : 0));

        PaletteDialog::setNextAnswer(true);
        ASSERT_TRUE(test::triggerAction(view, "actionTemplatePAL"));
        EXPECT_EQ(view->lineEdit()->text(), c.palLine);
    }
}
