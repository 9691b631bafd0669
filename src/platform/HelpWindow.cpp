#include "platform/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QTextBrowser>
#include <QUrl>
#include <QWindow>

#include <utility>

namespace velkan {
namespace {

// F1 for a widget and its children: the key comes up to the widget from
// whichever child has the focus. Claiming it at the shortcut stage keeps the
// main window's F1 (the contents) from taking it first.
class HelpKeyFilter : public QObject {
public:
    HelpKeyFilter(QWidget *widget, QString anchor) : QObject(widget), m_anchor(std::move(anchor)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier) {
                event->accept();
                if (type == QEvent::KeyPress)
                    HelpWindow::showSection(m_anchor);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QString m_anchor;
};

} // namespace

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

QString HelpWindow::pageOf(const QString &anchor)
{
    const QString contents = contentsPath();
    if (contents.isEmpty() || anchor.isEmpty())
        return {};
    const QDir dir = QFileInfo(contents).dir();
    const QByteArray id = "id=\"" + anchor.toUtf8() + '"';
    const QByteArray name = "name=\"" + anchor.toUtf8() + '"';
    const QStringList pages = dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    for (const QString &page : pages) {
        QFile file(dir.filePath(page));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray html = file.readAll();
        if (html.contains(id) || html.contains(name))
            return dir.filePath(page);
    }
    return {};
}

bool HelpWindow::showContents()
{
    const QString path = contentsPath();
    return !path.isEmpty() && show(path, {});
}

bool HelpWindow::showSection(const QString &anchor)
{
    const QString path = pageOf(anchor);
    return !path.isEmpty() && show(path, anchor);
}

bool HelpWindow::show(const QString &path, const QString &anchor)
{
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
    // Opened from a modal dialog, the window would take no input until the
    // dialog closed: it is made the dialog's own, and the main window's again
    // when opened from there.
    s_window->winId();
    QWindow *owner = nullptr;
    if (QWidget *modal = QApplication::activeModalWidget()) {
        modal->winId();
        owner = modal->windowHandle();
    }
    if (s_window->windowHandle()->transientParent() != owner) {
        s_window->hide();
        s_window->windowHandle()->setTransientParent(owner);
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    s_window->setSource(url);
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
    return true;
}

QString HelpWindow::shownSection()
{
    return s_window ? s_window->source().fragment() : QString();
}

void HelpWindow::addHelpKey(QWidget *widget, const QString &anchor)
{
    widget->installEventFilter(new HelpKeyFilter(widget, anchor));
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
