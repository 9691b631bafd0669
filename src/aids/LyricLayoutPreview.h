#pragma once

#include "aids/core/LayoutGeometry.h"

#include <QImage>
#include <QWidget>

namespace velkan {

// The layout dialog's drawing of the player's text screen. Everything is drawn
// into a backing image that a repaint only shows, so a repaint never loses the
// lyrics placed so far.
class LyricLayoutPreview : public QWidget {
    Q_OBJECT
public:
    explicit LyricLayoutPreview(QWidget *parent = nullptr);

    // Gives the backing image the widget's size; a new size starts from a
    // plain background (the old drawing no longer fits the cells).
    void fitCanvas(const QColor &background);

    // The whole preview in one colour with a one-pixel black outline.
    void fillWithOutline(const QColor &colour);
    // A rectangle in one colour, no outline.
    void fillRect(const PixelRect &rect, const QColor &colour);
    // Only the glyphs are painted; the image's edges clip.
    void drawText(const PixelPoint &topLeft, const QString &text, const QFont &font,
                  const QColor &colour);
    // Width of text as drawText draws it.
    int textWidth(const QString &text, const QFont &font) const;

    const QImage &image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_image;
};

} // namespace velkan
