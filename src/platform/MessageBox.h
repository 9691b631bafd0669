#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace velkan {

// Modal message boxes, with a seam so tests answer them in advance instead of
// blocking in exec(). Every box the program shows goes through here.
class MessageBox {
public:
    enum Answer { Ok, Save, Discard, Cancel };

    // An error or notice with an OK button alone.
    static void show(QWidget *parent, const QString &text);
    // "The script has changed: save it?" Save / Discard / Cancel.
    static Answer askSaveChanges(QWidget *parent);

    // Test seam: while answers are queued, no box is shown; each call takes
    // the next answer (Ok when the queue runs dry) and records its text.
    static void setTestMode(bool on);
    static void setNextAnswer(Answer answer);
    static QStringList shownTexts();
    static void clearShown();
};

} // namespace velkan
