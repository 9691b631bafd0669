#include "aids/LyricLayoutDialog.h"
#include "aids/PaletteDialog.h"
#include "aids/TimingOffsetDialog.h"
#include "form/CommandIds.h"
#include "form/VelkanView.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/TestAnswers.h"
#include "support/Actions.h"

#include <gtest/gtest.h>

#include <functional>

using namespace velkan;

// Each row leaves something behind in one seam, resets, and tells whether
// what the seam does next shows none of it.
TEST(TestAnswersReset, OneCallEmptiesEverySeam)
{
    VelkanView view;
    installLyricLayoutCommand(view);
    view.show();
    PaletteColour colour;

    struct Case {
        const char *seam;
        std::function<void()> leave;
        std::function<bool()> nothingLeft;
    };
    int sessionRun = 0;
    const Case cases[] = {
        {"palette dialog", [] { PaletteDialog::setNextAnswer(false); },
         [&] {
             PaletteDialog::setNextAnswer(true);
             return PaletteDialog::ask(nullptr, colour);
         }},
        {"timing offset dialog", [] { TimingOffsetDialog::setNextAnswer(false); },
         [] {
             TimingOffsetDialog::setNextAnswer(true, 3);
             return TimingOffsetDialog::ask(nullptr) == 3;
         }},
        {"lyric layout dialog",
         [&] { LyricLayoutDialog::setNextSession([&](LyricLayoutDialog &) { sessionRun = 1; }); },
         [&] {
             LyricLayoutDialog::setNextSession([&](LyricLayoutDialog &) { sessionRun = 2; });
             test::triggerAction(&view, "actionLyricLayout");
             return sessionRun == 2;
         }},
        {"message box",
         [] {
             MessageBox::setTestMode(true);
             MessageBox::show(nullptr, QStringLiteral("left over"));
         },
         [] { return MessageBox::shownTexts().isEmpty(); }},
        {"file dialog",
         [] {
             FileDialog::setTestMode(true);
             FileDialog::getOpenFileName(nullptr, {QStringLiteral("WRDﾌｧｲﾙ(*.WRD)")});
         },
         [] { return FileDialog::lastFilters().isEmpty(); }},
    };
    for (const Case &c : cases) {
        c.leave();
        resetTestAnswers();
        EXPECT_TRUE(c.nothingLeft()) << c.seam;
        resetTestAnswers();
    }
}
