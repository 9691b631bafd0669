#include "platform/Fonts.h"

#include <QStringList>

namespace velkan::Fonts {

void registerSubstitutions()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    QFont::insertSubstitutions(QString::fromUtf16(kFormFace),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
                                QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic")});
    QFont::insertSubstitutions(QString::fromUtf16(kFixedFace),
                               {QStringLiteral("IPAGothic"), QStringLiteral("VL Gothic"),
                                QStringLiteral("Noto Sans Mono CJK JP")});
}

QFont formFont()
{
    registerSubstitutions();
    QFont f(QString::fromUtf16(kFormFace));
    f.setPointSize(9);
    return f;
}

QFont fixedFont(int pointSize)
{
    registerSubstitutions();
    QFont f(QString::fromUtf16(kFixedFace));
    f.setPointSize(pointSize);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

} // namespace velkan::Fonts
