// The author's whole road with the real sequencer (FluidSynth, file driver):
// load the demo song and its lyrics, play, tap the space bar, save.
#include "FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/FluidSynthSequencer.h"
#include "script/ScriptFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace velkan;

namespace {
const QString kExamples = QStringLiteral(VELKAN_TEST_DATA "/../../examples");
}

class EndToEndTest : public velkan::test::SeamedTest {};

TEST_F(EndToEndTest, TapLyricsAlongTheDemoSongAndSave)
{
    ::setenv("VELKAN_AUDIO_DRIVER", "file", 1);
    if (FluidSynthSequencer::findSoundFont().empty())
        GTEST_SKIP() << "no SoundFont: sudo apt-get install timgm6mb-soundfont";

    VelkanView view;
    view.show();
    FileDialog::setNextFileName(kExamples + QStringLiteral("/demo.mid"));
    view.runCommand(cmd::MidiLoad);
    ASSERT_TRUE(MessageBox::shownTexts().isEmpty()) << MessageBox::shownTexts().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(view.scriptList().lines(),
              (std::vector<ScriptLine>{"dT:0 Mean4:4", "dT:0 Tempo:500", "dT:32 Tempo:625"}));
    EXPECT_EQ(view.barCountLabel()->text(), QStringLiteral("/17"));

    FileDialog::setNextFileName(kExamples + QStringLiteral("/demo.txt"));
    view.runCommand(cmd::LyricsLoad);
    ASSERT_EQ(view.scriptList().count(), 4 + 8 + 1);

    view.selectLine(4);
    view.runCommand(cmd::Start);
    ScriptListView *list = view.listView();
    ASSERT_TRUE(list->hasFocus() || QTest::qWaitFor([&] { return list->hasFocus(); }));

    // Tap the first lyric on bar 1 and the second as bar 2 begins.
    QTest::keyClick(list, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.barBox()->text() == QStringLiteral("2"); }, 5000));
    QTest::keyClick(list, Qt::Key_Space);
    view.runCommand(cmd::End);

    EXPECT_EQ(view.scriptList().text(4), "@WAIT(1,0);");
    EXPECT_EQ(view.scriptList().text(6).rfind("@WAIT(2,", 0), 0u) << view.scriptList().text(6);
    EXPECT_EQ(view.selectedIndex(), 8);

    const QString out = m_dir.filePath(QStringLiteral("demo.wrd"));
    FileDialog::setNextFileName(out);
    view.runCommand(cmd::WrdSave);
    EXPECT_EQ(readFile(out), joinScriptLines(view.scriptList().lines()));
}
