// MIDIの歌詞から作成 through the file menu of the main window.
#include "support/FormTestSupport.h"

#include "app/MainFrame.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "midi/SmfBuilder.h"
#include "script/ScriptFile.h"
#include "support/Actions.h"

using namespace velkan;

class KaraokeMenu : public test::SeamedTest {};

TEST_F(KaraokeMenu, PutsTheSongsLyricsInTheListAsOneUnsavedStep)
{
    test::TrackBuilder lyrics, none;
    lyrics.lyric(480, "\x89\xCC").lyric(480, "/\x82\xA4").endOfTrack();
    none.text(0, "@KMIDI KARAOKE FILE").endOfTrack();
    const std::vector<ScriptLine> old = {"old", "@END();"};
    std::vector<ScriptLine> made = kDefaultHeader;
    for (const char *line : {"@WAIT(1,48);", "\x89\xCC", "@WAIT(1,96);", "\x82\xA4", "@END();"})
        made.emplace_back(line);
    const QString ask = QStringLiteral("スクリプトは変更されています。保存しますか?");
    struct Case {
        std::string song;
        MessageBox::Answer discard;
        std::vector<ScriptLine> after;
        QStringList shown; // every box, the save question too
    };
    for (const Case &c :
         std::vector<Case>{{test::smf(480, {lyrics}), MessageBox::Discard, made, {ask}},
                           {test::smf(480, {lyrics}), MessageBox::Cancel, old, {ask}},
                           {test::smf(480, {none}),
                            MessageBox::Discard,
                            old,
                            {QStringLiteral("この曲には歌詞がありません")}}}) {
        SetUp();
        MainFrame frame;
        frame.setAttribute(Qt::WA_DeleteOnClose, false);
        ScriptDocument &document = frame.view()->document();
        document.assign(ScriptLines{"@END();"});
        document.insertLine(0, "old", QStringLiteral("行の挿入"), 0); // a changed script
        FileDialog::setNextFileName(writeTemp(QStringLiteral("song.mid"), c.song));
        MessageBox::setNextAnswer(c.discard);
        ASSERT_TRUE(test::triggerAction(&frame, "actionKaraokeLyrics"));
        EXPECT_EQ(FileDialog::lastFilters(), (QStringList{QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"),
                                                          QStringLiteral("すべてのﾌｧｲﾙ (*.*)")}));
        EXPECT_EQ(document.list().lines().toVector(), c.after);
        EXPECT_EQ(MessageBox::shownTexts(), c.shown);
        EXPECT_TRUE(frame.view()->playback()->songPath().isEmpty()); // left to MIDI読込
        if (c.after == made) {
            EXPECT_TRUE(document.isModified());
            EXPECT_EQ(frame.view()->undoAction()->text(),
                      QStringLiteral("元に戻す: MIDIの歌詞から作成(&U)"));
            document.undo();
            EXPECT_EQ(document.list().lines().toVector(), old);
        }
        TearDown();
    }
}
