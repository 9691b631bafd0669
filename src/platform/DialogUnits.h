#pragma once

#include <QFont>
#include <QRect>

namespace velkan {

// Converts dialog-template coordinates to pixels the way dialog templates are
// laid out: a horizontal unit is a quarter of the font's average character
// width, a vertical unit an eighth of its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont &font);
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    int x(int du) const { return (du * m_baseX + 2) / 4; }
    int y(int du) const { return (du * m_baseY + 4) / 8; }
    QRect rect(int x0, int y0, int w, int h) const;
    QSize size(int w, int h) const { return {x(w), y(h)}; }

    int baseX() const { return m_baseX; }
    int baseY() const { return m_baseY; }

private:
    int m_baseX;
    int m_baseY;
};

} // namespace velkan
