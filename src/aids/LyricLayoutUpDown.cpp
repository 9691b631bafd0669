#include "aids/LyricLayoutUpDown.h"

#include "aids/core/LayoutState.h"

#include <QLineEdit>
#include <QToolButton>
#include <algorithm>
#include <cstdint>

namespace velkan {

LyricLayoutUpDown::LyricLayoutUpDown(QLineEdit *buddy, QWidget *parent)
    : QWidget(parent), m_buddy(buddy)
{
    m_up = new QToolButton(this);
    m_up->setObjectName(QStringLiteral("upButton"));
    m_up->setArrowType(Qt::UpArrow);
    m_down = new QToolButton(this);
    m_down->setObjectName(QStringLiteral("downButton"));
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton *b : {m_up, m_down}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void LyricLayoutUpDown::setRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = std::max(minimum, maximum);
}

void LyricLayoutUpDown::setValue(int value)
{
    m_buddy->setText(QString::number(std::clamp(value, m_minimum, m_maximum)));
}

void LyricLayoutUpDown::step(int delta)
{
    // Steps from what the box says now, typed or not.
    const std::int64_t now = readLineSpacing(m_buddy->text().toStdString());
    const std::int64_t next = std::clamp<std::int64_t>(now + delta, m_minimum, m_maximum);
    setValue(static_cast<int>(next));
}

void LyricLayoutUpDown::resizeEvent(QResizeEvent *)
{
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

} // namespace velkan
