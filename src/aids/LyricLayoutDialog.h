#pragma once

#include "aids/core/LayoutState.h"
#include "script/ScriptList.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace velkan {

class LyricLayoutPreview;
class LyricLayoutUpDown;
class ScriptListModel;
class ScriptListView;
class VelkanView;

// Places lyrics on a drawing of the player's 80 x 25 text screen. Every line it
// writes (@PAL, @LOCATE, @COLOR) goes directly above the selected lyric line,
// and every line it deletes goes, in its own copy of the script list and in the
// main form's list at the same index at once, so the two stay line for line
// the same while it is open. Closed with the close box or Esc.
class LyricLayoutDialog : public QDialog {
    Q_OBJECT
public:
    enum ControlId {
        LyricList = 1003,
        ColumnBar = 1030,
        Preview = 1032,
        BackgroundButton = 1039,
        SpacingEdit = 1040,
        SpacingUpDown = 1041,
        ColourList = 1042,
        Prompt = 1043,
        RowBar = 1044,
        PositionLabel = 1045,
        ConfirmButton = 1046,
        ClearButton = 1047,
    };

    explicit LyricLayoutDialog(VelkanView &view);
    ~LyricLayoutDialog() override;

    QWidget *control(int id) const;
    ScriptListView *lyricList() const { return m_list; }
    const ScriptList &lyrics() const { return m_lyrics; }
    LyricLayoutPreview *preview() const { return m_preview; }
    QListWidget *colourList() const { return m_colourList; }
    QScrollBar *rowBar() const { return m_rowBar; }
    QScrollBar *columnBar() const { return m_columnBar; }
    QLineEdit *spacingEdit() const { return m_spacingEdit; }
    LyricLayoutUpDown *spacingUpDown() const { return m_upDown; }

    const LayoutState &state() const { return m_state; }
    int cellHeight() const { return m_cellHeight; }
    int lyricWidth() const { return m_lyricWidth; }
    QColor backgroundColour() const { return m_background; }
    QColor textColour() const { return m_textColour; }
    QFont previewFont() const { return m_previewFont; }

    // Moves and sizes the preview from its current height and the lyric list's
    // client width: rows cellHeight = height / 25 high, 40 x cellHeight wide,
    // 50 px right of the list's client width and 5 px from the top.
    void updatePreviewGeometry();

    // Test seam for the menu command: while sessions are queued, the command
    // shows the dialog, hands it to the next one instead of running it
    // modally, and closes it afterwards. resetTestAnswers() empties the queue too.
    static void setNextSession(std::function<void(LyricLayoutDialog &)> session);
    static void clearSessions();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void setUp();

    void chooseLyric();
    void onRowAction(int action);
    void onColumnAction(int action);
    void confirmPosition();
    void chooseColour();
    void confirmColour();
    void chooseBackground();
    void clearPreview();
    void deleteAt(int caret);
    void onSpacingEdited(const QString &text);

    void insertLine(const ScriptLine &line);
    void drawLyric();
    void redrawAfterMove(const ArrowMove &move);
    void showPosition();
    void setPrompt(const QString &text);
    int selectedColour() const;

    VelkanView &m_view;
    ScriptList m_lyrics;
    ScriptListModel *m_model = nullptr;
    ScriptListView *m_list = nullptr;
    LyricLayoutPreview *m_preview = nullptr;
    QPushButton *m_backgroundButton = nullptr;
    QListWidget *m_colourList = nullptr;
    QLineEdit *m_spacingEdit = nullptr;
    LyricLayoutUpDown *m_upDown = nullptr;
    QScrollBar *m_rowBar = nullptr;
    QScrollBar *m_columnBar = nullptr;
    QLabel *m_positionLabel = nullptr;
    QPushButton *m_confirmButton = nullptr;
    QPushButton *m_clearButton = nullptr;
    QLabel *m_prompt = nullptr;

    LayoutState m_state;
    QColor m_background;
    QColor m_textColour;
    QFont m_previewFont;
    int m_cellHeight = 0;
    int m_lyricWidth = 0;
    QString m_lyricText;
    bool m_colourPressChanged = false;
};

// Registers command 32771 "歌詞表示位置の設定" on the view. The background
// button edits the view's palette colour, the one the PAL template reads.
void installLyricLayoutCommand(VelkanView &view);

} // namespace velkan
