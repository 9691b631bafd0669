#pragma once

#include <QPointer>
#include <QString>

class QTextBrowser;
class QWidget;

namespace velkan {

// The program's manual: HTML pages shipped in help/ beside the executable,
// shown in a window of its own at its contents page or at one section.
class HelpWindow {
public:
    // Where the contents page is looked for; the first that exists wins.
    static QString contentsPath();
    // Opens (or raises) the help window at the contents page. Returns false
    // and leaves nothing open when the manual is missing.
    static bool showContents();
    // Opens (or raises) the help window at the section whose id (or <a name>)
    // is anchor, on whichever page of the manual holds it. Returns false and
    // opens nothing when no page holds it.
    static bool showSection(const QString &anchor);
    // The page of the manual (its full path) that holds anchor, or empty.
    static QString pageOf(const QString &anchor);
    // F1 on widget or any of its children opens anchor's section. Taken
    // before the window's shortcuts, so that a panel inside the main window
    // opens its own section rather than the contents.
    static void addHelpKey(QWidget *widget, const QString &anchor);
    // The section the open window was last sent to: empty at the contents
    // page or when no window is open.
    static QString shownSection();
    static void close();
    static bool isOpen();

private:
    static bool show(const QString &path, const QString &anchor);
    static QPointer<QTextBrowser> s_window;
};

} // namespace velkan
