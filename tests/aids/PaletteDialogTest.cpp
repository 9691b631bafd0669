#include "aids/PaletteDialog.h"
#include "aids/PaletteSwatch.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

using namespace velkan;

namespace {

class PaletteDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        PaletteDialog::clearAnswers();
    }
    void TearDown() override { PaletteDialog::clearAnswers(); }
    // The colour the dialogs edit, as a main form holds it for its session.
    PaletteColour colour;
};

QPoint centreOf(QScrollBar *bar, QStyle::SubControl part)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.subControls = QStyle::SC_All;
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    if (bar->orientation() == Qt::Horizontal)
        opt.state |= QStyle::State_Horizontal;
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar).center();
}

} // namespace

TEST_F(PaletteDialogTest, SetUpShowsTheSharedColour)
{
    colour = {10, 15, 0};
    PaletteDialog dialog(colour);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("パッレト設定ダイアログ"));
    EXPECT_EQ(dialog.valueLabel(PaletteDialog::Red)->text(), QStringLiteral("(A)"));
    EXPECT_EQ(dialog.valueLabel(PaletteDialog::Green)->text(), QStringLiteral("(F)"));
    EXPECT_EQ(dialog.valueLabel(PaletteDialog::Blue)->text(), QStringLiteral("(0)"));
    EXPECT_EQ(dialog.swatch()->colour(), QColor(160, 240, 0));
    for (auto c : {PaletteDialog::Red, PaletteDialog::Green, PaletteDialog::Blue}) {
        EXPECT_EQ(dialog.bar(c)->minimum(), 0);
        EXPECT_EQ(dialog.bar(c)->maximum(), 15);
    }
    EXPECT_TRUE(dialog.okButton()->isDefault());
    EXPECT_EQ(dialog.cancelButton()->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    for (const char *name : {"redCaption", "greenCaption", "blueCaption"})
        ASSERT_NE(dialog.findChild<QLabel *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("greenCaption"))->text(),
              QStringLiteral("G"));
}

TEST_F(PaletteDialogTest, EveryScrollActionMovesByItsOwnStepAndClamps)
{
    struct Case {
        int start;
        QAbstractSlider::SliderAction action;
        int expected;
    };
    const Case cases[] = {
        {5, QAbstractSlider::SliderSingleStepAdd, 6},
        {5, QAbstractSlider::SliderSingleStepSub, 4},
        {5, QAbstractSlider::SliderPageStepAdd, 7},
        {5, QAbstractSlider::SliderPageStepSub, 3},
        {0, QAbstractSlider::SliderSingleStepSub, 0},
        {15, QAbstractSlider::SliderSingleStepAdd, 15},
        {14, QAbstractSlider::SliderPageStepAdd, 15},
        {1, QAbstractSlider::SliderPageStepSub, 0},
        {0, QAbstractSlider::SliderPageStepAdd, 2},
        {7, QAbstractSlider::SliderToMinimum, 0},
        {7, QAbstractSlider::SliderToMaximum, 15},
        {9, QAbstractSlider::SliderNoAction, 9},
    };
    for (auto component : {PaletteDialog::Red, PaletteDialog::Green, PaletteDialog::Blue}) {
        for (const Case &c : cases) {
            PaletteDialog dialog(colour);
            QScrollBar *bar = dialog.bar(component);
            bar->setValue(c.start);
            bar->triggerAction(c.action);
            SCOPED_TRACE(testing::Message() << "component " << component << " from " << c.start
                                            << " action " << c.action);
            EXPECT_EQ(bar->value(), c.expected);
            EXPECT_EQ(bar->sliderPosition(), c.expected);
            EXPECT_EQ(dialog.valueLabel(component)->text(),
                      QStringLiteral("(%1)").arg(c.expected, 0, 16).toUpper());
            const PaletteColour now = colour;
            const int values[] = {now.red, now.green, now.blue};
            EXPECT_EQ(values[component], c.expected);
            EXPECT_EQ(dialog.swatch()->colour(),
                      QColor(16 * now.red, 16 * now.green, 16 * now.blue));
        }
    }
}

TEST_F(PaletteDialogTest, DraggingTheThumbFollowsIt)
{
    PaletteDialog dialog(colour);
    QScrollBar *bar = dialog.bar(PaletteDialog::Blue);
    bar->setSliderDown(true);
    bar->setSliderPosition(12);
    EXPECT_EQ(dialog.valueLabel(PaletteDialog::Blue)->text(), QStringLiteral("(C)"));
    EXPECT_EQ(colour, (PaletteColour{0, 0, 12}));
    EXPECT_EQ(dialog.swatch()->colour(), QColor(0, 0, 192));
    bar->setSliderDown(false);
    EXPECT_EQ(bar->value(), 12);
}

TEST_F(PaletteDialogTest, MouseClicksOnArrowAndTroughStepByOneAndTwo)
{
    PaletteDialog dialog(colour);
    dialog.show();
    QScrollBar *bar = dialog.bar(PaletteDialog::Red);
    QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(bar, QStyle::SC_ScrollBarAddLine));
    EXPECT_EQ(bar->value(), 1);
    // Qt's own page step of a fresh bar is 10; the trough moves by 2.
    QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(bar, QStyle::SC_ScrollBarAddPage));
    EXPECT_EQ(bar->value(), 3);
    QTest::mouseClick(bar, Qt::LeftButton, {}, centreOf(bar, QStyle::SC_ScrollBarSubLine));
    EXPECT_EQ(bar->value(), 2);
    EXPECT_EQ(colour.red, 2);
    EXPECT_EQ(dialog.valueLabel(PaletteDialog::Red)->text(), QStringLiteral("(2)"));
}

TEST_F(PaletteDialogTest, SwatchIsTheScreenColourInsideABlackOutline)
{
    colour = {15, 8, 0};
    PaletteDialog dialog(colour);
    dialog.show();
    const QImage image = dialog.swatch()->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(QColor(image.pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(image.width() - 1, image.height() - 1)), QColor(Qt::black));
    EXPECT_EQ(QColor(image.pixel(image.width() / 2, image.height() / 2)), QColor(240, 128, 0));
    EXPECT_EQ(QColor(image.pixel(1, 1)), QColor(240, 128, 0));
}

TEST_F(PaletteDialogTest, CancelKeepsTheMovedColourForTheNextOpening)
{
    {
        PaletteDialog dialog(colour);
        dialog.show();
        dialog.bar(PaletteDialog::Green)->triggerAction(QAbstractSlider::SliderToMaximum);
        dialog.bar(PaletteDialog::Blue)->triggerAction(QAbstractSlider::SliderPageStepAdd);
        dialog.cancelButton()->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(colour, (PaletteColour{0, 15, 2}));
    PaletteDialog again(colour);
    EXPECT_EQ(again.bar(PaletteDialog::Green)->value(), 15);
    EXPECT_EQ(again.valueLabel(PaletteDialog::Blue)->text(), QStringLiteral("(2)"));
}

TEST_F(PaletteDialogTest, QueuedAnswersMoveTheBarsAndEndAsAsked)
{
    PaletteDialog::setNextAnswer(false, PaletteColour{1, 2, 3});
    PaletteDialog::setNextAnswer(true);
    PaletteDialog::setNextAnswer(true, PaletteColour{4, 5, 6});
    EXPECT_FALSE(PaletteDialog::ask(nullptr, colour));
    EXPECT_EQ(colour, (PaletteColour{1, 2, 3}));
    EXPECT_TRUE(PaletteDialog::ask(nullptr, colour));
    EXPECT_EQ(colour, (PaletteColour{1, 2, 3}));
    EXPECT_TRUE(PaletteDialog::ask(nullptr, colour));
    EXPECT_EQ(colour, (PaletteColour{4, 5, 6}));
}
