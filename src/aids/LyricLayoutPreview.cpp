#include "aids/LyricLayoutPreview.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace velkan {

namespace {
constexpr double kInchesPerMetre = 39.37;
} // namespace

LyricLayoutPreview::LyricLayoutPreview(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void LyricLayoutPreview::fitCanvas(const QColor &background)
{
    if (!m_image.isNull() && m_image.size() == size())
        return;
    m_image = QImage(size(), QImage::Format_RGB32);
    // Text drawn into the image is sized for this widget's screen, as the rest
    // of the dialog is.
    m_image.setDotsPerMeterX(qRound(logicalDpiX() * kInchesPerMetre));
    m_image.setDotsPerMeterY(qRound(logicalDpiY() * kInchesPerMetre));
    fillWithOutline(background);
}

void LyricLayoutPreview::fillWithOutline(const QColor &colour)
{
    if (m_image.isNull())
        return;
    QPainter p(&m_image);
    p.setPen(Qt::black);
    p.setBrush(colour);
    p.drawRect(m_image.rect().adjusted(0, 0, -1, -1));
    p.end();
    update();
}

void LyricLayoutPreview::fillRect(const PixelRect &rect, const QColor &colour)
{
    if (m_image.isNull() || rect.width <= 0 || rect.height <= 0)
        return;
    QPainter p(&m_image);
    p.fillRect(QRect(rect.x, rect.y, rect.width, rect.height), colour);
    p.end();
    update();
}

void LyricLayoutPreview::drawText(const PixelPoint &topLeft, const QString &text, const QFont &font,
                                  const QColor &colour)
{
    if (m_image.isNull() || text.isEmpty())
        return;
    QPainter p(&m_image);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(topLeft.x, topLeft.y + p.fontMetrics().ascent(), text);
    p.end();
    update();
}

int LyricLayoutPreview::textWidth(const QString &text, const QFont &font) const
{
    if (m_image.isNull())
        return QFontMetrics(font, this).horizontalAdvance(text);
    return QFontMetrics(font, &m_image).horizontalAdvance(text);
}

void LyricLayoutPreview::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    if (m_image.isNull())
        p.fillRect(rect(), Qt::black);
    else
        p.drawImage(event->rect(), m_image, event->rect());
}

} // namespace velkan
