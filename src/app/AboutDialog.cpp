#include "app/AboutDialog.h"

#include "platform/DialogUnits.h"
#include "platform/Fonts.h"

#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace velkan {

QIcon appIcon()
{
    QPixmap pix(32, 32);
    pix.fill(Qt::transparent);
    QPainter p(&pix);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x20, 0x30, 0x80));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(1, 1, 30, 30, 5, 5);
    p.setPen(QColor(0xF0, 0xF0, 0x00));
    QFont f = Fonts::formFont();
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.drawText(pix.rect(), Qt::AlignCenter, QStringLiteral("V"));
    p.end();
    return QIcon(pix);
}

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setFont(Fonts::formFont());
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velkan)"));
    const DialogUnits du(font());
    setFixedSize(du.size(217, 55));

    auto *icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(32, 32));
    icon->move(du.x(11), du.y(17));
    icon->resize(32, 32);

    auto *version = new QLabel(QStringLiteral("Velkan Version 1.10"), this);
    version->setGeometry(du.rect(40, 10, 119, 8));
    auto *second = new QLabel(QStringLiteral("WRDスクリプト エディタ"), this);
    second->setGeometry(du.rect(40, 25, 119, 8));

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    ok->setGeometry(du.rect(178, 7, 32, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace velkan
