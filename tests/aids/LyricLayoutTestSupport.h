#pragma once

#include "aids/LyricLayoutDialog.h"
#include "aids/PaletteDialog.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/ShiftJisCodec.h"

#include "support/FormTestSupport.h"
#include "support/ItemClicks.h"

#include <QApplication>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <memory>

namespace velkan::test {

inline ScriptLine sjis(const QString &text)
{
    return ShiftJis::encode(text).value();
}

// A script as made from a lyrics text: four header lines, then the lyrics.
inline std::vector<ScriptLine> lyricsScript()
{
    return {"@STARTUP(1);",
            "@PAL(000,700,070,007,770,707,077,777,ccc,f00,0f0,00f,ff0,f0f,0ff,fff);",
            "@WMODE(23,0);",
            "@TCLS(1,1,80,25,0,32);",
            sjis(QStringLiteral("さくら さくら")),
            sjis(QStringLiteral("やよいの空は")),
            sjis(QStringLiteral("見わたす限り"))};
}

// The main form with a script, and the layout dialog open over it (shown
// offscreen rather than run modally).
class LayoutDialogTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        QApplication::setStyle(QStringLiteral("Fusion"));
        view = std::make_unique<VelkanView>();
        installLyricLayoutCommand(*view);
        view->show();
    }
    void TearDown() override
    {
        dialog.reset();
        SeamedTest::TearDown();
    }
    void open(std::vector<ScriptLine> lines = lyricsScript())
    {
        view->document().assign(std::move(lines));
        dialog = std::make_unique<LyricLayoutDialog>(*view);
        dialog->show();
    }
    static void doubleClickRow(QAbstractItemView *v, int row) { test::doubleClickRow(v, row); }
    static void clickRow(QAbstractItemView *v, int row) { test::clickRow(v, row); }
    void arrows(QScrollBar *bar, QAbstractSlider::SliderAction action, int times)
    {
        for (int i = 0; i < times; ++i)
            bar->triggerAction(action);
    }
    void up(int times = 1)
    {
        arrows(dialog->rowBar(), QAbstractSlider::SliderSingleStepSub, times);
    }
    void down(int times = 1)
    {
        arrows(dialog->rowBar(), QAbstractSlider::SliderSingleStepAdd, times);
    }
    void left(int times = 1)
    {
        arrows(dialog->columnBar(), QAbstractSlider::SliderSingleStepSub, times);
    }
    void right(int times = 1)
    {
        arrows(dialog->columnBar(), QAbstractSlider::SliderSingleStepAdd, times);
    }
    void chooseLyric(int row) { doubleClickRow(dialog->lyricList(), row); }
    void confirmPosition() { clickButton(LyricLayoutDialog::ConfirmButton); }
    void clickButton(int id)
    {
        QWidget *w = dialog->control(id);
        QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
    }
    QString label(int id) const { return dialog->control(id)->property("text").toString(); }
    std::vector<ScriptLine> mainLines() const { return view->scriptList().lines().toVector(); }
    std::vector<ScriptLine> dialogLines() const { return dialog->lyrics().lines().toVector(); }

    std::unique_ptr<VelkanView> view;
    std::unique_ptr<LyricLayoutDialog> dialog;
};

} // namespace velkan::test
