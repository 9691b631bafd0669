#pragma once

#include "aids/core/PaletteColour.h"
#include "document/ScriptDocument.h"
#include "midi/SongTimeline.h"
#include "script/ScriptList.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QSpinBox;

namespace velkan {

class Playback;
class ScriptListModel;
class ScriptListView;
class TappingAids;

// The main form: the script list, the line edit box and help panel, the
// playback buttons and position display. It holds the actions of its
// commands, which its buttons and accelerators and the window's menus
// trigger, and the document it edits.
class VelkanView : public QWidget {
    Q_OBJECT
public:
    explicit VelkanView(QWidget *parent = nullptr);
    ~VelkanView() override;

    // The action of a command id (its object name is "action" and the
    // command's name: "actionStart", "actionTemplateWAIT"); features connect
    // to it, buttons and menus trigger it.
    QAction *action(int id) const;

    ScriptDocument &document() { return m_document; }
    // Undo and redo of the document's steps, named after the step they act on.
    QAction *undoAction() const { return m_undoAction; }
    QAction *redoAction() const { return m_redoAction; }
    const ScriptList &scriptList() const { return m_document.list(); }
    ScriptListView *listView() const { return m_list; }
    QLineEdit *lineEdit() const { return m_lineEdit; }
    QPlainTextEdit *helpPanel() const { return m_helpPanel; }
    QScrollBar *positionBar() const { return m_positionBar; }
    QLineEdit *barBox() const { return m_barBox; }
    QLineEdit *beatBox() const { return m_beatBox; }
    QLabel *dragBarLabel() const { return m_dragBar; }
    QLabel *barCountLabel() const { return m_barCount; }
    QWidget *control(int id) const;

    int selectedIndex() const;
    void selectLine(int i);

    // Puts a line into the line edit box and a text into the help panel, and
    // moves the focus to the box (the command templates use this).
    void setLineEditText(const std::string &bytes);
    void setHelpText(const QString &text);

    Playback *playback() const { return m_playback; }
    // Speed, grid, start from a line, re-tap, nudge.
    TappingAids *tapping() const { return m_tapping; }
    QSpinBox *speedBox() const { return m_speedBox; }

    // The palette colour of this form's session: the palette dialog writes
    // it, the layout dialog and the PAL template read it.
    PaletteColour &paletteColour() { return m_paletteColour; }

    // Asks before a changed script is discarded. True when the caller may go on.
    bool confirmDiscard();

    // Size of the form as its template lays it out.
    QSize sizeHint() const override { return m_formSize; }
    // The smallest size at which every control is whole and visible.
    QSize minimumSizeHint() const override;

    // The index of the last line-editing command.
    int editIndex() const { return m_editIndex; }

    // The file commands, also used by the shell.
    void loadScript();
    // 歌詞読込 of a file already chosen (dropped on the window).
    void loadScriptFrom(const QString &path);
    bool saveScript();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildActions();
    void buildControls();
    void installAccelerators();
    void buildUndoActions();
    void followPlayback();
    void layoutBottom(int cx, int cy);
    int heightBesideList() const;

    // Line editing.
    void changeLine();
    void deleteLine();
    void overwriteLine();
    void insertLine();
    bool takeLineEditText(std::string &out);

    // A note in the main window's status bar; an empty text clears it.
    void showStatus(const QString &text);

    ScriptDocument m_document;
    ScriptListModel *m_model = nullptr;
    Playback *m_playback = nullptr;
    TappingAids *m_tapping = nullptr;
    QSpinBox *m_speedBox = nullptr;
    ScriptListView *m_list = nullptr;
    QLineEdit *m_lineEdit = nullptr;
    QPlainTextEdit *m_helpPanel = nullptr;
    QGroupBox *m_fileGroup = nullptr;
    QScrollBar *m_positionBar = nullptr;
    QLineEdit *m_barBox = nullptr;
    QLineEdit *m_beatBox = nullptr;
    QLabel *m_dragBar = nullptr;
    QLabel *m_barCount = nullptr;
    std::map<int, QWidget *> m_controls;
    std::map<int, QAction *> m_actions;
    QSize m_formSize;
    PaletteColour m_paletteColour;
    QAction *m_undoAction = nullptr;
    QAction *m_redoAction = nullptr;

    int m_editIndex = -1;
};

} // namespace velkan
