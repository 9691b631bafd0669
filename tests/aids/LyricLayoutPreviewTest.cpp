#include "LyricLayoutTestSupport.h"

#include "aids/LyricLayoutPreview.h"
#include "aids/core/LayoutGeometry.h"

using namespace velkan;
using velkan::test::LayoutDialogTest;
using velkan::test::sjis;

namespace {

// Pixels of `colour` inside a rectangle of the image.
int countColour(const QImage &image, const QRect &area, const QColor &colour)
{
    int n = 0;
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += QColor(image.pixel(x, y)) == colour;
    return n;
}

class PreviewTest : public LayoutDialogTest {
protected:
    // The cell (row, column) as wide as the current lyric.
    QRect lyricArea(int row, int column) const
    {
        const int cell = dialog->cellHeight();
        const PixelPoint o = cellOrigin(row, column, cell);
        return {o.x, o.y, dialog->lyricWidth(), cell};
    }
    const QImage &image() const { return dialog->preview()->image(); }
};

const QColor kWhite(0xFF, 0xFF, 0xFF);
const QColor kNavy(0, 0, 0x80);

} // namespace

TEST_F(PreviewTest, GeometryFollowsTheClientHeightAndTheListWidth)
{
    open();
    LyricLayoutPreview *preview = dialog->preview();
    const int listWidth = dialog->lyricList()->viewport()->width();
    struct Case {
        int height;
        int cell;
        int width;
        int newHeight;
    };
    for (const Case &c : {Case{260, 10, 400, 251}, Case{251, 10, 400, 251}, Case{130, 5, 200, 126},
                          Case{24, 0, 0, 1}}) {
        preview->resize(preview->width(), c.height);
        dialog->updatePreviewGeometry();
        EXPECT_EQ(dialog->cellHeight(), c.cell);
        EXPECT_EQ(preview->geometry(), QRect(listWidth + 50, 5, c.width, c.newHeight));
        if (c.width > 0) {
            EXPECT_EQ(dialog->preview()->image().size(), QSize(c.width, c.newHeight));
        }
        // The next repaint finds the same cells.
        dialog->updatePreviewGeometry();
        EXPECT_EQ(dialog->cellHeight(), c.cell);
    }
}

TEST_F(PreviewTest, PreviewFitsTheDialogAndItsCellsFitTheFixedFace)
{
    open();
    const QRect frame = dialog->preview()->geometry();
    EXPECT_GT(dialog->cellHeight(), 0);
    EXPECT_EQ(frame.height(), 25 * dialog->cellHeight() + 1);
    EXPECT_TRUE(dialog->rect().contains(frame))
        << frame.x() << "," << frame.y() << " " << frame.width() << "x" << frame.height();
    EXPECT_GE(frame.left(), dialog->lyricList()->geometry().right());
    EXPECT_GE(dialog->cellHeight(), QFontMetrics(dialog->previewFont()).height() - 1);
}

TEST_F(PreviewTest, BackgroundLyricsAndErasesLandInTheBackingImage)
{
    open();
    EXPECT_EQ(QColor(image().pixel(0, 0)), QColor(Qt::black));
    PaletteDialog::setNextAnswer(true, PaletteColour{0, 0, 8});
    clickButton(LyricLayoutDialog::BackgroundButton);
    const QRect inside = image().rect().adjusted(1, 1, -1, -1);
    EXPECT_EQ(countColour(image(), inside, kNavy), inside.width() * inside.height());
    EXPECT_EQ(QColor(image().pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(image().pixel(image().width() - 1, image().height() - 1)), QColor(Qt::black));

    chooseLyric(4); // row 3, column 10, pure white
    ASSERT_GT(dialog->lyricWidth(), 0);
    const QRect first = lyricArea(3, 10);
    EXPECT_GT(countColour(image(), first, kWhite), 5);

    down(); // row 4: row 3 is wiped
    EXPECT_EQ(countColour(image(), first.adjusted(0, -1, 0, -1), kNavy),
              first.width() * first.height());
    EXPECT_GT(countColour(image(), lyricArea(4, 10), kWhite), 5);

    // A lyric drawn earlier stays where it was.
    clickRow(dialog->lyricList(), 5);
    chooseLyric(5); // row 6
    EXPECT_GT(countColour(image(), lyricArea(4, 10), kWhite), 5);
    EXPECT_GT(countColour(image(), lyricArea(6, 10), kWhite), 5);
}

TEST_F(PreviewTest, ArepaintShowsThePictureDrawnSoFar)
{
    open();
    PaletteDialog::setNextAnswer(true, PaletteColour{0, 0, 8});
    clickButton(LyricLayoutDialog::BackgroundButton);
    chooseLyric(4);
    dialog->hide();
    dialog->show();
    dialog->repaint();
    const QImage shown = dialog->preview()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, image().convertToFormat(QImage::Format_RGB32));
    EXPECT_GT(countColour(shown, lyricArea(3, 10), kWhite), 5);
}

TEST_F(PreviewTest, ArrowsBeforeALyricDrawNothing)
{
    open();
    const QImage before = image();
    down(3);
    right(4);
    EXPECT_EQ(image(), before);
    EXPECT_EQ(dialog->state().row, 4);
    EXPECT_EQ(dialog->state().column, 14);
}

TEST_F(PreviewTest, ClearPaintsTheSharedColourAndKeepsTheBackground)
{
    open();
    PaletteDialog::setNextAnswer(true, PaletteColour{0, 0, 8});
    clickButton(LyricLayoutDialog::BackgroundButton);
    chooseLyric(4);
    PaletteDialog::setNextAnswer(false, PaletteColour{15, 0, 0});
    clickButton(LyricLayoutDialog::BackgroundButton);
    const auto linesBefore = mainLines();
    clickButton(LyricLayoutDialog::ClearButton);
    const QRect inside = image().rect().adjusted(1, 1, -1, -1);
    EXPECT_EQ(countColour(image(), inside, QColor(240, 0, 0)), inside.width() * inside.height());
    EXPECT_EQ(mainLines(), linesBefore);
    // Erases still use the background set last.
    EXPECT_EQ(dialog->backgroundColour(), kNavy);
    down();
    EXPECT_GT(countColour(image(), lyricArea(3, 10).adjusted(0, -1, 0, -1), kNavy), 0);
}

TEST_F(PreviewTest, AColourChoiceRedrawsTheLyricInPlace)
{
    open();
    chooseLyric(4);
    clickRow(dialog->colourList(), 1); // 赤
    EXPECT_EQ(dialog->state().row, 3);
    EXPECT_GT(countColour(image(), lyricArea(3, 10), QColor(0xF0, 0, 0)), 5);
}

TEST_F(PreviewTest, AtColumnEightyTheLyricAndItsEraseStopAtTheRightEdge)
{
    open({"a", "b", "c", "d", sjis(QStringLiteral("長い長い歌詞の行です"))});
    PaletteDialog::setNextAnswer(true, PaletteColour{0, 0, 8});
    clickButton(LyricLayoutDialog::BackgroundButton);
    right(70);
    chooseLyric(4);
    const int cell = dialog->cellHeight();
    const int x0 = 79 * cell / 2 + 1;
    const int w = image().width();
    ASSERT_GT(x0 + dialog->lyricWidth(), w);
    EXPECT_GT(countColour(image(), QRect(x0, 0, w - x0, image().height()), kWhite), 0);
    down();
    // The old row is wiped up to the edge; the outline there stays black only
    // where the erase did not reach.
    EXPECT_EQ(countColour(image(), QRect(x0, 2 * cell + 1, w - x0, cell), kWhite), 0);
}
