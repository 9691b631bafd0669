#pragma once

#include "aids/core/LyricReveal.h"
#include "midi/MusicalPosition.h"
#include "script/ScriptList.h"

#include <QDialog>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QItemSelection;
class QLineEdit;
class QListView;
class QListWidget;

namespace velkan {

class ScriptListModel;
class VelkanView;

// "歌詞の出現/消去方法": marks a range of lines and writes the blocks that bring
// its lyrics onto the screen ahead of the singing and wipe them once sung.
// Works on its own copy of the script and repeats every insertion and
// deletion, at the same index, in the main form's list at once.
class LyricRevealDialog : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog's template.
    enum ControlId : int {
        LineList = 1003,
        EraseTimingButton = 1039,
        DeleteRangeButton = 1040,
        AppearTimingList = 1042,
        EraseTimingList = 1043,
        AppearTimingButton = 1046,
        AppearAllAtOnce = 1047,
        AppearLineByLine = 1048,
        AppearCharByChar = 1049,
        EraseAllAtOnce = 1050,
        EraseLineByLine = 1051,
        EraseCharByChar = 1052,
        ClearRangeButton = 1053,
        AppearStartEdit = 1055,
        AppearEndEdit = 1056,
        AppearConfirmButton = 1057,
        EraseStartEdit = 1058,
        EraseEndEdit = 1059,
        EraseConfirmButton = 1060,
    };

    explicit LyricRevealDialog(VelkanView &view, QWidget *parent = nullptr);
    ~LyricRevealDialog() override;

    QWidget *control(int id) const;
    QListView *lineList() const { return m_lineList; }
    // The dialog's copy of the script.
    const ScriptList &lines() const { return m_lines; }
    // Selected line indexes, ascending.
    std::vector<int> selectedIndexes() const;

    RevealMethod appearMethod() const { return m_appearMethod; }
    RevealMethod eraseMethod() const { return m_eraseMethod; }

    // The buttons' operations.
    void appearTiming();
    void eraseTiming();
    void confirmAppear();
    void confirmErase();
    void deleteRange();
    void clearRange();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildControls();
    QListWidget *makeTimingList();
    void setAppearMethod(RevealMethod method);
    void setEraseMethod(RevealMethod method);

    // The text of an edit as Shift-JIS, or nothing (after saying so) when it
    // holds a character with no code or cannot stand as one line.
    std::optional<std::string> editBytes(QLineEdit *edit);
    void timing(bool appear);
    void insertBlock(int index, std::vector<ScriptLine> block);
    void removeRuns(const std::vector<int> &ascending);
    void userSelectionChanged();

    VelkanView &m_view;
    ScriptList m_lines;
    ScriptListModel *m_model = nullptr;
    QListView *m_lineList = nullptr;
    QListWidget *m_appearTiming = nullptr;
    QListWidget *m_eraseTiming = nullptr;
    QLineEdit *m_appearStart = nullptr;
    QLineEdit *m_appearEnd = nullptr;
    QLineEdit *m_eraseStart = nullptr;
    QLineEdit *m_eraseEnd = nullptr;
    QButtonGroup *m_appearGroup = nullptr;
    QButtonGroup *m_eraseGroup = nullptr;
    std::map<int, QWidget *> m_controls;

    RevealMethod m_appearMethod = RevealMethod::AllAtOnce;
    RevealMethod m_eraseMethod = RevealMethod::AllAtOnce;
    MusicalPosition m_working;
    // Set while the dialog itself changes the line list, whose selection then
    // moves with the rows without the user having touched it.
    bool m_ownChange = false;
};

// Registers command 32792 on the main form: open the dialog modally, then discard it.
void installLyricRevealCommand(VelkanView &view);

} // namespace velkan
