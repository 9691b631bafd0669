#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QWidget;

namespace velkan {

// Open and save file dialogs with a seam for tests: a queued file name (empty
// for Cancel) is returned instead of showing the dialog.
class FileDialog {
public:
    // filters: shown texts with their patterns, e.g. "WRDﾌｧｲﾙ(*.WRD)".
    static QString getOpenFileName(QWidget *parent, const QStringList &filters);
    // Asks before an existing file is replaced; a name without extension is used as typed.
    static QString getSaveFileName(QWidget *parent, const QStringList &filters);

    // The patterns a filter text names: "TXT/WRDﾌｧｲﾙ(*.TXT;*.WRD)" gives
    // *.TXT and *.WRD; "*.*" means every file.
    static QStringList patternsOf(const QString &filter);
    // Sets the filters on a dialog so that its file list follows them.
    static void configure(QFileDialog &dialog, const QStringList &filters);

    // Test seam: in test mode no dialog is shown and each call returns the
    // next queued name, or an empty one (Cancel) when none is queued. Turning
    // test mode on or off empties the queue; resetTestAnswers() also ends test
    // mode and forgets the last filters.
    static void setTestMode(bool on);
    static void setNextFileName(const QString &name);
    // The filters of the last open or save call, shown or answered.
    static QStringList lastFilters();
};

} // namespace velkan
