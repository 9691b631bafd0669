#pragma once

#include "aids/core/PaletteColour.h"
#include "midi/SongTimeline.h"
#include "script/ScriptList.h"

#include <QString>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;

namespace velkan {

class Playback;
class ScriptListModel;
class ScriptListView;

// The main form: the script list, the line edit box and help panel, the
// playback buttons and position display. Every command of the menus,
// buttons and accelerators arrives here and is routed to its handler.
class VelkanView : public QWidget {
    Q_OBJECT
public:
    explicit VelkanView(QWidget *parent = nullptr);
    ~VelkanView() override;

    // The one main form of the process (the dialogs reach the script list through it).
    static VelkanView *current();

    // Routes a command id; returns whether anything handles it.
    bool runCommand(int id);
    // Installs the handler of a command (features register themselves here).
    void setCommandHandler(int id, std::function<void()> handler);
    bool hasCommandHandler(int id) const;

    ScriptList &scriptList() { return m_scriptList; }
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

    // The palette colour of this form's session: the palette dialog writes
    // it, the layout dialog and the PAL template read it.
    PaletteColour &paletteColour() { return m_paletteColour; }

    // Asks before a changed script is discarded. True when the caller may go on.
    bool confirmDiscard();

    // Size of the form as its template lays it out.
    QSize formSize() const { return m_formSize; }
    QSize sizeHint() const override { return m_formSize; }
    // The smallest size at which every control is whole and visible.
    QSize minimumSizeHint() const override;

    // Remembered paths.
    const QString &lyricsPath() const { return m_lyricsPath; }
    const QString &wrdPath() const { return m_wrdPath; }
    QString midiPath() const { return m_midiPath; }
    void setMidiPath(const QString &path) { m_midiPath = path; }

    // The loaded song's time, bars and beats, for bar arithmetic; null when
    // no song has been read.
    const SongTimeline *loadedTimeline() const { return m_timeline.get(); }
    void setLoadedTimeline(std::shared_ptr<const SongTimeline> timeline)
    {
        m_timeline = std::move(timeline);
    }

    // The edit text and index of the last line-editing command.
    const std::string &editText() const { return m_editText; }
    int editIndex() const { return m_editIndex; }

    // The file commands, also used by the shell.
    void loadScript();
    bool saveScript();

signals:
    void aboutToClose();

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void installAccelerators();
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

    ScriptList m_scriptList;
    ScriptListModel *m_model = nullptr;
    Playback *m_playback = nullptr;
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
    std::map<int, std::function<void()>> m_handlers;
    QSize m_formSize;
    PaletteColour m_paletteColour;

    std::shared_ptr<const SongTimeline> m_timeline;
    std::string m_editText;
    int m_editIndex = -1;
    QString m_lyricsPath;
    QString m_wrdPath;
    QString m_midiPath;
};

} // namespace velkan
