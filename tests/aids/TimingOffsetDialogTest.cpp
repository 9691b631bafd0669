#include "aids/TimingOffsetDialog.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/VelkanView.h"

#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

class TimingOffsetTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        view = std::make_unique<VelkanView>();
        installTimingOffsetCommand(*view);
    }
    // A song in numerator / 2^exponent from its first tick.
    void loadSongIn(int numerator, int exponent = 2)
    {
        view->playback()->useTimeline(std::make_shared<const SongTimeline>(
            480, std::vector<TempoEvent>{},
            std::vector<TimeSignatureEvent>{{0, numerator, exponent}}));
    }
    // Runs the menu command on one line and answers the dialog with OK.
    std::string shifted(const std::string &line, int choice)
    {
        view->document().assign({line});
        TimingOffsetDialog::setNextAnswer(true, choice);
        EXPECT_TRUE(test::triggerAction(view, "actionTimingOffset"));
        return view->scriptList().text(0);
    }
    std::unique_ptr<VelkanView> view;
};

} // namespace

TEST_F(TimingOffsetTest, DialogShowsItsTextsAndStartsOnTheFirstChoice)
{
    TimingOffsetDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("歌詞追い時間ﾀﾞｲｱﾛｸﾞ"));
    EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("introLine1"))->text(),
              QStringLiteral("歌詞追いで設定した@WAIT()の値に下記のオフセット値を加算します。"));
    EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("introLine2"))->text(),
              QStringLiteral("(-)値は@WAIT()の設定値より早くなり、(+)値は遅くなります。"));
    const QString labels[] = {
        QStringLiteral("-  4分音符 1個の時間"), QStringLiteral("-  8分音符 1個の時間"),
        QStringLiteral("- 16分音符 1個の時間"), QStringLiteral("+ 16分音符 1個の時間"),
        QStringLiteral("+  8分音符 1個の時間"), QStringLiteral("+  4分音符 1個の時間"),
    };
    for (int choice = 1; choice <= 6; ++choice) {
        QRadioButton *r =
            dialog.findChild<QRadioButton *>(QStringLiteral("offset%1").arg(1046 + choice));
        ASSERT_EQ(r, dialog.radio(choice));
        EXPECT_EQ(r->text(), labels[choice - 1]);
        EXPECT_EQ(r->isChecked(), choice == 1);
    }
    EXPECT_EQ(dialog.choice(), 1);
    EXPECT_TRUE(dialog.okButton()->isDefault());
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));
}

TEST_F(TimingOffsetTest, ARadioButtonClearsTheOthersAndEveryOpeningStartsOver)
{
    TimingOffsetDialog dialog;
    dialog.show();
    for (int choice : {4, 2, 6}) {
        dialog.radio(choice)->click();
        EXPECT_EQ(dialog.choice(), choice);
        for (int other = 1; other <= 6; ++other)
            EXPECT_EQ(dialog.radio(other)->isChecked(), other == choice);
    }
    dialog.hide();
    dialog.show();
    EXPECT_EQ(dialog.choice(), 1);
    EXPECT_TRUE(dialog.radio(1)->isChecked());
    EXPECT_FALSE(dialog.radio(6)->isChecked());
}

TEST_F(TimingOffsetTest, EachChoiceShiftsTheWaitLinesByItsSteps)
{
    // The reading and carrying rules are the core's; here each button has to
    // reach it with its own offset, and only target lines change.
    const std::vector<ScriptLine> lines{"@WAIT(12,96);", "lyric", "@WAIT(12,96);@COLOR(32);",
                                        " @WAIT(12,96);", "@wait(12,96);"};
    const char *const expected[] = {"@WAIT(12,48);",  "@WAIT(12,72);",  "@WAIT(12,84);",
                                    "@WAIT(12,108);", "@WAIT(12,120);", "@WAIT(12,144);"};
    for (int choice = 1; choice <= 6; ++choice) {
        SCOPED_TRACE(choice);
        view->document().assign(lines);
        TimingOffsetDialog::setNextAnswer(true, choice);
        ASSERT_TRUE(test::triggerAction(view, "actionTimingOffset"));
        EXPECT_EQ(view->scriptList().text(0), expected[choice - 1]);
        EXPECT_EQ(view->scriptList().text(2), std::string(expected[choice - 1]) + "@COLOR(32);");
        for (int untouched : {1, 3, 4})
            EXPECT_EQ(view->scriptList().text(untouched), lines[untouched]);
    }
    EXPECT_EQ(shifted("@WAIT(12,180);", 4), "@WAIT(13,0);");
    EXPECT_EQ(shifted("@WAIT(12,0);", 1), "@WAIT(11,144);");
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
}

TEST_F(TimingOffsetTest, BarsOfA34SongAreThreeQuartersLong)
{
    loadSongIn(3);
    EXPECT_EQ(shifted("@WAIT(12,0);", 1), "@WAIT(11,96);");
    EXPECT_EQ(shifted("@WAIT(12,120);", 6), "@WAIT(13,24);");
    EXPECT_EQ(shifted("@WAIT(12,140);", 4), "@WAIT(13,8);");
    loadSongIn(3, 3); // 3/8: 72 steps
    EXPECT_EQ(shifted("@WAIT(12,48);", 6), "@WAIT(13,24);");
    view->playback()->useTimeline(nullptr);
    EXPECT_EQ(shifted("@WAIT(12,120);", 6), "@WAIT(12,168);");
}

TEST_F(TimingOffsetTest, PositionsBeforeTheSongsStartAreHeldThereAndCounted)
{
    view->document().assign(
        {"@WAIT(0,0);", "lyric", "@WAIT(1,10);", "@WAIT(1,100);", "@WAIT(1,0);"});
    TimingOffsetDialog::setNextAnswer(true, 1);
    test::triggerAction(view, "actionTimingOffset");
    EXPECT_EQ(view->scriptList().lines(),
              (std::vector<ScriptLine>{"@WAIT(1,0);", "lyric", "@WAIT(1,0);", "@WAIT(1,52);",
                                       "@WAIT(1,0);"}));
    EXPECT_EQ(
        MessageBox::shownTexts(),
        QStringList{QStringLiteral("3 行は曲の先頭より前になるため @WAIT(1,0); にしました。")});
}

TEST_F(TimingOffsetTest, CancelChangesNothingWhateverWasClicked)
{
    const std::vector<ScriptLine> lines{"@WAIT(0,0);", "@WAIT(12,96);", "lyric"};
    for (int choice = 1; choice <= 6; ++choice) {
        view->document().assign(lines);
        view->document().setModified(false);
        TimingOffsetDialog::setNextAnswer(false, choice);
        test::triggerAction(view, "actionTimingOffset");
        EXPECT_EQ(view->scriptList().lines(), lines);
        EXPECT_FALSE(view->document().isModified());
    }
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
}

TEST_F(TimingOffsetTest, ScriptsWithoutWaitLinesStayAsTheyWere)
{
    for (const std::vector<ScriptLine> &lines :
         {std::vector<ScriptLine>{}, std::vector<ScriptLine>{"lyric", "@COLOR(32);", ""}}) {
        view->document().assign(lines);
        view->document().setModified(false);
        TimingOffsetDialog::setNextAnswer(true, 6);
        test::triggerAction(view, "actionTimingOffset");
        EXPECT_EQ(view->scriptList().lines(), lines);
        EXPECT_FALSE(view->document().isModified());
    }
}

TEST_F(TimingOffsetTest, RewriteKeepsTheSelection)
{
    view->show();
    view->document().assign({"@WAIT(2,0);", "lyric", "@WAIT(3,0);"});
    view->selectLine(2);
    TimingOffsetDialog::setNextAnswer(true, 4);
    test::triggerAction(view, "actionTimingOffset");
    EXPECT_EQ(view->selectedIndex(), 2);
    EXPECT_EQ(view->scriptList().text(2), "@WAIT(3,12);");
}
