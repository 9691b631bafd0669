// The player's screen in the editor: drawn on pixels, following the song as
// it plays and stands, the picked line, and edits.
#include "ManualClock.h"
#include "midi/SmfBuilder.h"
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "aids/PlayerPreview.h"
#include "aids/ScriptCheckPanel.h"
#include "app/MainFrame.h"
#include "document/ScriptReading.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace velkan;
using velkan::test::ManualClock;
using velkan::test::SeamedTest;
using velkan::test::TrackBuilder;

namespace {

// --- pixels ---

PlayerScreen screenOf(const std::vector<std::string> &lines)
{
    std::vector<std::string_view> views(lines.begin(), lines.end());
    PlayerScreen screen;
    for (const PlayerEvent &e : readAsPlayer(views, nullptr).events)
        screen.apply(e);
    return screen;
}

// How many pixels of a box have a colour.
int count(const QImage &image, const QRect &box, QRgb colour)
{
    int n = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            n += image.pixel(x, y) == colour ? 1 : 0;
    return n;
}

struct PixelCase {
    const char *name;
    std::vector<std::string> lines;
    QRgb background;
    QRgb ink;       // the colour the first cells' text is drawn in
    int inkCells;   // how many cells (from row 0, column 0) hold ink; 0: none anywhere
    bool boxFilled; // the cells are filled with the ink, the glyph cut out
};

class PlayerScreenPixels : public ::testing::TestWithParam<PixelCase> {};

TEST_P(PlayerScreenPixels, DrawsTheScreen)
{
    const PixelCase &c = GetParam();
    std::vector<std::string> lines{"@STARTUP(427);"};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    const QImage image = renderPlayerScreen(screenOf(lines));
    ASSERT_EQ(image.size(), QSize(640, 400));
    EXPECT_EQ(image.pixel(639, 399), c.background);
    const QRect cells(0, 0, 8 * std::max(c.inkCells, 1), 16);
    const int ink = count(image, cells, c.ink);
    if (c.inkCells == 0) {
        EXPECT_EQ(count(image, image.rect(), c.ink), 0);
    } else if (c.boxFilled) {
        EXPECT_GT(ink, cells.width() * cells.height() / 2);
        EXPECT_GT(count(image, cells, c.background), 0); // the glyph
    } else {
        EXPECT_GT(ink, 0);
        EXPECT_LT(ink, cells.width() * cells.height() / 2);
        // Nothing of the text outside its cells.
        EXPECT_EQ(count(image, image.rect(), c.ink), ink);
    }
    if (c.inkCells == 2 && !c.boxFilled) { // a double-byte glyph reaches its second cell
        EXPECT_GT(count(image, QRect(8, 0, 8, 16), c.ink), 0);
    }
}

const std::string kSquare = "\x81\xa1"; // ■

INSTANTIATE_TEST_SUITE_P(
    Cases, PlayerScreenPixels,
    ::testing::Values(
        PixelCase{"WhiteTextOnBlack", {"A;"}, qRgb(0, 0, 0), qRgb(255, 255, 255), 1, false},
        PixelCase{
            "Colour33IsYellow", {"@COLOR(33);", "A;"}, qRgb(0, 0, 0), qRgb(255, 255, 0), 1, false},
        PixelCase{"DoubleByteSpansTwoCells",
                  {"@COLOR(36);", kSquare + ";"},
                  qRgb(0, 0, 0),
                  qRgb(0, 255, 255),
                  2,
                  false},
        PixelCase{
            "ReverseFillsTheCell", {"@COLOR(41);", "A;"}, qRgb(0, 0, 0), qRgb(255, 0, 0), 1, true},
        PixelCase{"PaletteColourZeroIsTheBackground",
                  {"@PAL(00F,F00,0F0,FF0,00F,F0F,0FF,FFF,444,C44,4C4,CC4,44C,C4C,4CC,CCC);",
                   "@COLOR(33);", "A;"},
                  qRgb(0, 0, 255),
                  qRgb(255, 255, 0),
                  1,
                  false},
        PixelCase{"TextOffHidesIt",
                  {"@COLOR(33);", "A;", "@TON(0);"},
                  qRgb(0, 0, 0),
                  qRgb(255, 255, 0),
                  0,
                  false}),
    [](const auto &p) { return std::string(p.param.name); });

TEST(PlayerScreenPixelsScale, DoubledIsTwiceTheSize)
{
    const PlayerScreen s = screenOf({"@STARTUP(427);", "@COLOR(33);", "A;"});
    const QImage twice = renderPlayerScreen(s, 2);
    ASSERT_EQ(twice.size(), QSize(1280, 800));
    EXPECT_GT(count(twice, QRect(0, 0, 16, 32), qRgb(255, 255, 0)), 0);
    EXPECT_EQ(count(twice, QRect(16, 0, 1264, 800), qRgb(255, 255, 0)), 0);
}

// --- the window ---

constexpr std::uint32_t kHalfSecond = 500000; // a quarter every 0.5 s: a 4/4 bar is 2 s

class PlayerPreviewTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        Playback::setSequencerFactory([this] {
            auto fake = std::make_unique<FakeSequencer>();
            device = fake.get();
            return fake;
        });
        clock = std::make_shared<ManualClock>();
        Playback::setTimeSourceFactory([this] { return clock; });
        frame = std::make_unique<MainFrame>();
        view = frame->view();
        playback = view->playback();
        frame->show();
    }
    void TearDown() override
    {
        frame.reset();
        Playback::setSequencerFactory({});
        Playback::setTimeSourceFactory({});
        SeamedTest::TearDown();
    }

    void loadSong()
    {
        TrackBuilder t;
        t.tempo(0, kHalfSecond).timeSignature(0, 4, 2).note(0, 60).endOfTrack(16 * 4 * 120);
        device->setSongLength(16 * 4);
        FileDialog::setNextFileName(
            writeTemp(QStringLiteral("song.mid"), velkan::test::smf(480, {t})));
        test::triggerAction(view, "actionMidiLoad");
    }
    void setScript(std::vector<ScriptLine> lines)
    {
        view->document().assign(std::move(lines));
        if (frame->scriptReading()->isWanted())
            settle();
    }
    // Until the reading of the lines as they are now has come back.
    void settle()
    {
        const ScriptReading &r = *frame->scriptReading();
        for (int i = 0; i < 1000 && !(r.latest() && !r.isPending()); ++i)
            QTest::qWait(5);
        ASSERT_TRUE(r.latest() && !r.isPending()) << "no reading came back";
        QCoreApplication::processEvents();
    }
    PlayerPreviewWindow *preview()
    {
        PlayerPreviewWindow *p = frame->playerPreview();
        p->show();
        return p;
    }
    std::string row0() const
    {
        std::string s = frame->playerPreview()->screenView()->screen().rowText(0);
        s.erase(s.find_last_not_of(' ') + 1);
        return s;
    }
    void play(double ms)
    {
        clock->advanceMs(ms, [this] { return playback->isTimerRunning(); });
        // A frame or two of the preview's own timer.
        QTest::qWait(PlayerPreviewWindow::kFrameMillis * 2);
    }

    FakeSequencer *device = nullptr;
    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<MainFrame> frame;
    VelkanView *view = nullptr;
    Playback *playback = nullptr;
};

const std::vector<ScriptLine> kScript = {"@STARTUP(427);", "@WAIT(2,0);", "AB;", "@WAIT(3,0);",
                                         "CD;"};

} // namespace

TEST_F(PlayerPreviewTest, FollowsTheSongAsItPlays)
{
    loadSong();
    preview();
    setScript(kScript);
    test::triggerAction(view, "actionStart");
    play(1000);
    EXPECT_EQ(row0(), "");
    play(1100); // bar 2
    EXPECT_EQ(row0(), "AB");
    play(2000); // bar 3
    EXPECT_EQ(row0(), "ABCD");
    EXPECT_EQ(frame->playerPreview()->positionLabel()->text(), QStringLiteral("3小節 1拍"));
}

TEST_F(PlayerPreviewTest, StandsWhereTheThumbPutsTheSong)
{
    loadSong();
    preview();
    setScript(kScript);
    EXPECT_EQ(row0(), "ABCD"); // a loaded song stands at its end
    playback->dragTo(16);      // bar 2, in sixteenths
    EXPECT_EQ(row0(), "AB");
    playback->dragTo(0);
    EXPECT_EQ(row0(), "");
}

TEST_F(PlayerPreviewTest, APickedLineShowsItsMomentAndEditsShowAtOnce)
{
    loadSong();
    preview();
    setScript(kScript);
    view->selectLine(2);
    EXPECT_EQ(frame->playerPreview()->follows(), PlayerPreviewWindow::Follow::Line);
    EXPECT_EQ(row0(), "AB");
    EXPECT_EQ(frame->playerPreview()->positionLabel()->text(), QStringLiteral("3行目 (2小節 1拍)"));
    view->selectLine(1);
    EXPECT_EQ(row0(), "");
    view->selectLine(4);
    view->document().replaceLine(2, "XY;", QStringLiteral("行の上書き"), 4);
    settle();
    EXPECT_EQ(row0(), "XYCD");
    // The thumb takes the screen back to the song.
    playback->dragTo(16);
    EXPECT_EQ(frame->playerPreview()->follows(), PlayerPreviewWindow::Follow::Song);
    EXPECT_EQ(row0(), "XY");
}

TEST_F(PlayerPreviewTest, TheMenuItemOpensAndTicksAndDoubleSizeDoubles)
{
    QAction *item = frame->action(cmd::PlayerPreview);
    ASSERT_NE(item, nullptr);
    item->trigger();
    PlayerPreviewWindow *p = frame->playerPreview();
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->screenView()->size(), QSize(640, 400));
    p->doubleBox()->setChecked(true);
    EXPECT_EQ(p->screenView()->size(), QSize(1280, 800));
    EXPECT_EQ(p->screenView()->image().size(), QSize(1280, 800));
    p->close();
    EXPECT_FALSE(item->isChecked());
}

TEST_F(PlayerPreviewTest, AStoppingScriptSaysWhere)
{
    preview();
    setScript({"@STARTUP(427);", "AB;", "@WAIT(0,0);", "CD;"});
    EXPECT_EQ(row0(), "AB");
    EXPECT_TRUE(frame->playerPreview()->positionLabel()->text().contains(
        QStringLiteral("3行目でプレーヤーが止まります")));
}

// --- the check panel ---

TEST_F(PlayerPreviewTest, CheckListsFindingsAndADoubleClickSelectsTheLine)
{
    setScript({"@STARTUP(427);", "@WAIT(2,0);", "AB;", "@WAIT(0,0);"});
    frame->action(cmd::ScriptCheck)->trigger();
    ScriptCheckPanel *panel = frame->checkPanel();
    EXPECT_TRUE(panel->isVisible());
    settle();
    ASSERT_EQ(panel->findings().size(), 1u);
    EXPECT_EQ(panel->findings()[0].code, "E01");
    EXPECT_EQ(panel->summary()->text(), QStringLiteral("指摘 1 件"));
    QTableView *table = panel->table();
    EXPECT_EQ(table->model()->index(0, 0).data().toInt(), 4);
    const QModelIndex message = table->model()->index(0, 2);
    table->scrollTo(message);
    const QRect cell = table->visualRect(message);
    ASSERT_TRUE(table->viewport()->rect().contains(cell.center()));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(message).center());
    EXPECT_EQ(view->selectedIndex(), 3);
}

TEST_F(PlayerPreviewTest, CheckFollowsEditsOnlyWhenAsked)
{
    setScript({"@STARTUP(427);", "AB;"});
    ScriptCheckPanel *panel = frame->checkPanel();
    panel->check();
    settle();
    EXPECT_TRUE(panel->findings().empty());
    EXPECT_EQ(panel->summary()->text(), QStringLiteral("指摘はありません"));

    panel->autoBox()->setChecked(false);
    settle();
    view->document().replaceLine(1, "@WAIT(0,0);", QStringLiteral("行の上書き"), 1);
    settle();
    EXPECT_TRUE(panel->findings().empty()); // left as it was

    panel->findChild<QPushButton *>(QStringLiteral("checkAgain"))->click();
    settle();
    ASSERT_EQ(panel->findings().size(), 1u);

    panel->autoBox()->setChecked(true);
    view->document().replaceLine(1, "AB;", QStringLiteral("行の上書き"), 1);
    settle();
    EXPECT_TRUE(panel->findings().empty());
}
