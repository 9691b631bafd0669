#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace velkan {

// Modal message boxes, with a seam so tests answer them in advance instead of
// blocking in exec(). Every box the program shows goes through here.
class MessageBox {
public:
    enum Answer { Ok, Save, Discard, Cancel, Restore, Later };

    // An error or notice with an OK button alone.
    static void show(QWidget *parent, const QString &text);
    // "The script has changed: save it?" Save / Discard / Cancel.
    static Answer askSaveChanges(QWidget *parent);
    // "Restore the work left behind?" with `details` (when, how many lines):
    // Restore / Discard / Later.
    static Answer askRestore(QWidget *parent, const QString &details);

    // Test seam: in test mode no box is shown; each call records its text and
    // takes the next queued answer (when none is queued, show() goes on and
    // askSaveChanges() answers Cancel,
    // askRestore() Later). Turning test mode on or off empties
    // the queue and the record; resetTestAnswers() ends test mode as well.
    static void setTestMode(bool on);
    static void setNextAnswer(Answer answer);
    static QStringList shownTexts();
    static void clearShown();
};

} // namespace velkan
