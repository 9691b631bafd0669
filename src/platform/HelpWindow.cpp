#include "platform/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>

namespace velkan {

QPointer<QTextBrowser> HelpWindow::s_window;

QString HelpWindow::contentsPath()
{
    const QString appDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        appDir + QStringLiteral("/help/index.html"),
        appDir + QStringLiteral("/../share/velkan/help/index.html"),
        // Programs of the build tree other than the editor itself (tests, tools).
        appDir + QStringLiteral("/../src/help/index.html"),
    };
    for (const QString &c : candidates) {
        if (QFileInfo::exists(c))
            return QDir::cleanPath(c);
    }
    return {};
}

bool HelpWindow::showContents()
{
    const QString path = contentsPath();
    if (path.isEmpty())
        return false;
    if (!s_window) {
        s_window = new QTextBrowser;
        s_window->setAttribute(Qt::WA_DeleteOnClose);
        s_window->setObjectName(QStringLiteral("helpWindow"));
        s_window->setWindowTitle(QStringLiteral("Velkanのヘルプ"));
        s_window->setOpenExternalLinks(true);
        s_window->resize(640, 560);
        // Closed from the keyboard as other viewers are.
        for (const QKeySequence &keys :
             {QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)}) {
            auto *shortcut = new QShortcut(keys, s_window);
            QObject::connect(shortcut, &QShortcut::activated, s_window, &QWidget::close);
        }
    }
    s_window->setSource(QUrl::fromLocalFile(path));
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
    return true;
}

void HelpWindow::close()
{
    if (s_window)
        s_window->close();
}

bool HelpWindow::isOpen()
{
    return s_window && s_window->isVisible();
}

} // namespace velkan
