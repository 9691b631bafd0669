#pragma once

#include <QPointer>
#include <QString>

class QTextBrowser;

namespace velkan {

// The program's manual: HTML shipped in help/ beside the executable, shown in
// a window of its own at its contents page.
class HelpWindow {
public:
    // Where the contents page is looked for; the first that exists wins.
    static QString contentsPath();
    // Opens (or raises) the help window at the contents page. Returns false
    // and leaves nothing open when the manual is missing.
    static bool showContents();
    static void close();
    static bool isOpen();

private:
    static QPointer<QTextBrowser> s_window;
};

} // namespace velkan
