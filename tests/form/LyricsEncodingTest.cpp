// 歌詞読込 of lyrics written in UTF-8 or UTF-16, through the main window.
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "app/MainFrame.h"
#include "form/CommandIds.h"
#include "form/VelkanView.h"
#include "script/ScriptFile.h"

#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

// "あさの〜ひかり" / "B—" / "¢" in each encoding, and in Shift-JIS.
const std::string kUtf8Lyrics = "\xE3\x81\x82\xE3\x81\x95\xE3\x81\xAE\xE3\x80\x9C\xE3\x81\xB2"
                                "\xE3\x81\x8B\xE3\x82\x8A\r\nB\xE2\x80\x94\n\xC2\xA2\n";
const std::u16string kUtf16Lyrics = u"あさの〜ひかり\r\nB—\n¢\n";
const std::vector<ScriptLine> kShiftJisLyrics = {
    "\x82\xA0\x82\xB3\x82\xCC\x81\x60\x82\xD0\x82\xA9\x82\xE8", "B\x81\x5C", "\x81\x91"};

std::string utf16(bool littleEndian)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : kUtf16Lyrics) {
        const char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        out += littleEndian ? std::string{low, high} : std::string{high, low};
    }
    return out;
}

std::vector<ScriptLine> withHeader(const std::vector<ScriptLine> &body)
{
    std::vector<ScriptLine> lines = kDefaultHeader;
    lines.insert(lines.end(), body.begin(), body.end());
    lines.emplace_back(kClosingLine);
    return lines;
}

class LyricsEncodingTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        frame = new MainFrame;
        frame->show();
    }
    void TearDown() override
    {
        delete frame.data();
        SeamedTest::TearDown();
    }
    VelkanView *view() const { return frame->view(); }
    std::vector<ScriptLine> lines() const { return view()->scriptList().lines().toVector(); }
    // Presses 歌詞読込 and picks the file.
    void load(const QString &path)
    {
        FileDialog::setNextFileName(path);
        MessageBox::setNextAnswer(MessageBox::Discard);
        QTest::mouseClick(view()->findChild<QPushButton *>(QStringLiteral("lyricsLoadButton")),
                          Qt::LeftButton);
    }
    QString status() const { return frame->statusBar()->currentMessage(); }

    QPointer<MainFrame> frame;
};

} // namespace

TEST_F(LyricsEncodingTest, UnicodeLyricsAreConvertedAndTheStatusBarSaysSo)
{
    struct Case {
        const char *name;
        std::string bytes;
        QString status;
    };
    const Case cases[] = {
        {"utf8.txt", kUtf8Lyrics,
         QStringLiteral("UTF-8 のファイルを Shift-JIS に変換して読み込みました")},
        {"bom.txt", "\xEF\xBB\xBF" + kUtf8Lyrics,
         QStringLiteral("UTF-8 (BOM 付き) のファイルを Shift-JIS に変換して読み込みました")},
        {"le.txt", utf16(true),
         QStringLiteral("UTF-16 LE のファイルを Shift-JIS に変換して読み込みました")},
        {"be.txt", utf16(false),
         QStringLiteral("UTF-16 BE のファイルを Shift-JIS に変換して読み込みました")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        load(writeTemp(QString::fromLatin1(c.name), c.bytes));
        EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
        EXPECT_EQ(lines(), withHeader(kShiftJisLyrics));
        EXPECT_FALSE(view()->document().isModified());
        EXPECT_EQ(status(), c.status);

        // Saved as Shift-JIS, as every script is.
        const QString saved = m_dir.filePath(QStringLiteral("saved.wrd"));
        FileDialog::setNextFileName(saved);
        test::triggerAction(view(), "actionWrdSave");
        EXPECT_EQ(readFile(saved), joinScriptLines(withHeader(kShiftJisLyrics)));
        view()->document().assign(std::vector<ScriptLine>{"@before"});
        view()->document().setModified(false);
    }

    // A Shift-JIS file then loads as it always has, and the note goes.
    const std::string shiftJis = "@\x82\xA0\r\n\x81\x60\xFF\r\n";
    load(writeTemp(QStringLiteral("sjis.txt"), shiftJis));
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"@\x82\xA0", "\x81\x60\xFF"}));
    EXPECT_TRUE(status().isEmpty());
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
}

TEST_F(LyricsEncodingTest, ACharacterWithoutCodeIsNamedAndNothingLoads)
{
    struct Case {
        const char *name;
        std::string bytes;
        QString message;
    };
    const Case cases[] = {
        {"accent.txt", "\xE3\x81\x82\n\xE3\x81\x84\ncaf\xC3\xA9\n",
         QStringLiteral("3 行目の「é」(U+00E9) は Shift-JIS で表せない文字のため、読み込めません")},
        {"emoji.txt", "\xEF\xBB\xBF\xF0\x9F\x8E\xB5",
         QStringLiteral(
             "1 行目の「🎵」(U+1F3B5) は Shift-JIS で表せない文字のため、読み込めません")},
        {"broken.txt", std::string("\xFE\xFF\0A\0\n\xDC\x00", 8),
         QStringLiteral("2 行目に UTF-16 BE として読めないバイトがあるため、読み込めません")},
    };
    const std::vector<ScriptLine> kept = {"@kept", "edited"};
    view()->document().assign(kept);
    view()->document().setModified(true);
    view()->selectLine(1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MessageBox::clearShown();
        load(writeTemp(QString::fromLatin1(c.name), c.bytes));
        // Asked first about the changed script (answered Discard), then told.
        ASSERT_EQ(MessageBox::shownTexts().size(), 2);
        EXPECT_EQ(MessageBox::shownTexts().at(1), c.message);
        EXPECT_EQ(lines(), kept);
        EXPECT_TRUE(view()->document().isModified());
        EXPECT_EQ(view()->selectedIndex(), 1);
        EXPECT_TRUE(status().isEmpty());
    }
}
