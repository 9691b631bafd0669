// MIDIの歌詞から作成 through the file menu of the main window.
#include "support/FormTestSupport.h"

#include "app/MainFrame.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"
#include "support/Actions.h"

#include <QTest>

using namespace velkan;

namespace {

class KaraokeMenuTest : public test::SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        frame = std::make_unique<MainFrame>();
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        // A changed script stands in the list.
        frame->view()->document().assign(ScriptLines{"@END();"});
        frame->view()->document().insertLine(0, "old", QStringLiteral("行の挿入"), 0);
    }
    std::vector<ScriptLine> lines() const { return frame->view()->scriptList().lines().toVector(); }
    std::unique_ptr<MainFrame> frame;
};

TEST_F(KaraokeMenuTest, PutsTheSongsLyricsInTheListAsOneUnsavedStep)
{
    test::TrackBuilder lyrics, none;
    lyrics.lyric(480, "\x89\xCC").lyric(480, "/\x82\xA4").endOfTrack();
    none.text(0, "@KMIDI KARAOKE FILE").endOfTrack();
    const std::vector<ScriptLine> old = {"old", "@END();"};
    std::vector<ScriptLine> made = kDefaultHeader;
    for (const char *line : {"@WAIT(1,48);", "\x89\xCC", "@WAIT(1,96);", "\x82\xA4", "@END();"})
        made.emplace_back(line);
    struct Case {
        const char *name;
        std::string song;
        MessageBox::Answer discard;
        std::vector<ScriptLine> after;
        QStringList shown; // every box, the save question too
    };
    const QStringList ask = {QStringLiteral("スクリプトは変更されています。保存しますか?")};
    const std::vector<Case> cases = {
        {"lyrics, the change discarded", test::smf(480, {lyrics}), MessageBox::Discard, made, ask},
        {"lyrics, the change kept", test::smf(480, {lyrics}), MessageBox::Cancel, old, ask},
        {"no lyrics: nothing asked or changed",
         test::smf(480, {none}),
         MessageBox::Discard,
         old,
         {QStringLiteral("この曲には歌詞がありません")}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        FileDialog::setNextFileName(writeTemp(QStringLiteral("song.mid"), c.song));
        MessageBox::setNextAnswer(c.discard);
        ASSERT_TRUE(test::triggerAction(frame.get(), "actionKaraokeLyrics"));
        EXPECT_EQ(FileDialog::lastFilters(), (QStringList{QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"),
                                                          QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
        EXPECT_EQ(lines(), c.after);
        const bool replaced = c.after != old;
        EXPECT_EQ(MessageBox::shownTexts(), c.shown);
        // The song is left to MIDI読込.
        EXPECT_TRUE(frame->view()->playback()->songPath().isEmpty());
        if (replaced) {
            EXPECT_TRUE(frame->view()->document().isModified());
            EXPECT_EQ(frame->view()->undoAction()->text(),
                      QStringLiteral("元に戻す: MIDIの歌詞から作成(&U)"));
            frame->view()->undoAction()->trigger();
            EXPECT_EQ(lines(), old);
        }
        TearDown();
    }
}

} // namespace
