#include "aids/PaletteSwatch.h"

#include <QPainter>

namespace velkan {

PaletteSwatch::PaletteSwatch(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PaletteSwatch::setColour(const QColor &colour)
{
    if (colour == m_colour)
        return;
    m_colour = colour;
    update();
}

void PaletteSwatch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(Qt::black);
    p.setBrush(m_colour);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace velkan
