#include "aids/CommandTemplateMenu.h"
#include "aids/PaletteDialog.h"
#include "aids/core/CommandTemplates.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"

#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

class TemplateMenuTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        view = std::make_unique<VelkanView>();
        installCommandTemplateCommands(*view);
        view->show();
        view->document().assign({"@WAIT(1,0);", "lyric", "@COLOR(32);"});
        view->document().setModified(false);
        view->selectLine(1);
    }
    QStringList helpBlocks() const
    {
        QStringList blocks;
        for (QTextBlock b = view->helpPanel()->document()->begin(); b.isValid(); b = b.next())
            blocks << b.text();
        return blocks;
    }
    std::unique_ptr<VelkanView> view;
};

const QString kDefaultPal =
    QStringLiteral("@PAL(000,700,070,007,770,707,077,777,ccc,f00,0f0,00f,ff0,f0f,0ff,fff);");

} // namespace

TEST_F(TemplateMenuTest, EachFormStartsItsOwnColourAtBlack)
{
    PaletteDialog::setNextAnswer(true, PaletteColour{7, 7, 7});
    test::triggerAction(view, "actionTemplatePAL");
    ASSERT_EQ(view->paletteColour(), (PaletteColour{7, 7, 7}));

    VelkanView next;
    installCommandTemplateCommands(next);
    EXPECT_EQ(next.paletteColour(), PaletteColour{});
    PaletteDialog::setNextAnswer(true);
    test::triggerAction(&next, "actionTemplatePAL");
    EXPECT_EQ(
        next.lineEdit()->text(),
        QStringLiteral("@PAL(000,000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);"));
    EXPECT_EQ(view->paletteColour(), (PaletteColour{7, 7, 7}));
}

TEST_F(TemplateMenuTest, EveryItemFillsBothBoxesAndNeverTouchesTheList)
{
    // The menu's items in order, with the lines they put into the edit box.
    const std::pair<int, const char *> items[] = {
        {32772, "@WMODE(23,0);"},
        {32786, "@OFFSET(10);"},
        {32773, "@WAIT(123,96);"},
        {32774, "@LOCATE(5;20);"},
        {32775, "@COLOR(32);"},
        {32787, "@TON(1);"},
        {32776, "@TCLS(1,1,80,25,0,32);"},
        {32788, "@ESC(2J);"},
        {32777, "@SCROLL(10,6,69,18,0,0,32);"},
        {32778, "@GMODE(15);"},
        {32779, "@GSCREEN(0,0);"},
        {32780, "@GLINE(0,0,639,399,7,2,7);"},
        {32781, "@GCIRCLE(319,199,100,15,2,15);"},
        {32789, "@GON(1);"},
        {32790, "@GCLS(0);"},
        {32782, "@GMOVE(x1,y1,x2,y2,xd,yd<,vs><,vd><,sw>);"},
        {32783, nullptr}, // PAL, cancelled below: the default palette line
        {32784, "@FADE(3,2,24);"},
        {32785, "@MAG(abc.mag,0,0,1,1);"},
    };
    ASSERT_EQ(std::size(items), commandTemplates().size());
    const auto linesBefore = view->scriptList().lines();
    for (std::size_t i = 0; i < std::size(items); ++i) {
        const auto [id, line] = items[i];
        SCOPED_TRACE(id);
        const CommandTemplate &entry = commandTemplates()[i];
        ASSERT_EQ(entry.commandId, id);
        view->lineEdit()->setText(QStringLiteral("typed by the author"));
        view->listView()->setFocus();
        if (id == 32783)
            PaletteDialog::setNextAnswer(false);

        const std::string name = "actionTemplate" + std::string(entry.menuText);
        ASSERT_TRUE(test::triggerAction(view, name.c_str()));

        EXPECT_EQ(view->lineEdit()->text(), line ? QString::fromLatin1(line) : kDefaultPal);
        QStringList expectedHelp;
        for (std::string_view h : entry.helpLines)
            expectedHelp << QString::fromUtf8(h.data(), static_cast<qsizetype>(h.size()));
        EXPECT_EQ(helpBlocks(), expectedHelp);
        EXPECT_EQ(view->focusWidget(), view->lineEdit());
        EXPECT_EQ(view->scriptList().lines(), linesBefore);
        EXPECT_EQ(view->selectedIndex(), 1);
        EXPECT_FALSE(view->document().isModified());
    }
}

TEST_F(TemplateMenuTest, WaitAfterColorLeavesExactlyTheWaitHelp)
{
    test::triggerAction(view, "actionTemplateCOLOR");
    test::triggerAction(view, "actionTemplateWAIT");
    EXPECT_EQ(view->lineEdit()->text(), QStringLiteral("@WAIT(123,96);"));
    EXPECT_EQ(
        view->helpPanel()->toPlainText(),
        QStringLiteral("@WAIT(bar,<step>)\nbar:小節　step:0(0/4)/48(1/4)/96(2/4)/144(3/4音符)"));
}

TEST_F(TemplateMenuTest, PalBuildsItsLineFromTheDialogsAnswer)
{
    const QString fifteenBlack =
        QStringLiteral(",000,000,000,000,000,000,000,000,000,000,000,000,000,000,000);");
    struct Case {
        bool accepted;
        PaletteColour colour;
        QString expected;
    };
    const Case cases[] = {
        {true, {15, 8, 0}, QStringLiteral("@PAL(F80") + fifteenBlack},
        {true, {10, 11, 12}, QStringLiteral("@PAL(ABC") + fifteenBlack},
        {true, {0, 0, 0}, QStringLiteral("@PAL(000") + fifteenBlack},
        {false, {15, 15, 15}, kDefaultPal},
    };
    for (const Case &c : cases) {
        PaletteDialog::setNextAnswer(c.accepted, c.colour);
        test::triggerAction(view, "actionTemplatePAL");
        EXPECT_EQ(view->lineEdit()->text(), c.expected);
        EXPECT_EQ(helpBlocks().size(), 3);
        // Cancel only declines the colour; the dialog keeps it for next time.
        EXPECT_EQ(view->paletteColour(), c.colour);
    }
}
