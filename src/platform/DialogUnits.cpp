#include "platform/DialogUnits.h"

#include <QFontMetrics>

namespace velkan {

DialogUnits::DialogUnits(const QFont &font)
{
    const QFontMetrics fm(font);
    const int width = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_baseX = (width / 26 + 1) / 2;
    m_baseY = fm.height();
}

QRect DialogUnits::rect(int x0, int y0, int w, int h) const
{
    // Convert the corners, not the sizes, so neighbouring controls keep their gaps.
    const int left = x(x0), top = y(y0);
    return {left, top, x(x0 + w) - left, y(y0 + h) - top};
}

} // namespace velkan
