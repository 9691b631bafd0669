#pragma once

#include "platform/LockKeys.h"

#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;

namespace velkan {

class PlayerPreviewWindow;
class RecoveryJournal;
struct RecoveryState;
class ScriptCheckPanel;
class ScriptReading;
class VelkanView;

// The main window: menu bar, status bar and the main form inside.
class MainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit MainFrame(QWidget *parent = nullptr);
    ~MainFrame() override;

    VelkanView *view() const { return m_view; }
    QAction *action(int commandId) const;
    QLabel *messagePane() const { return m_messagePane; }
    QList<QLabel *> indicators() const { return m_indicators; }
    ScriptReading *scriptReading() const { return m_reading; }
    // The player's screen, made the first time it is shown.
    PlayerPreviewWindow *playerPreview();
    ScriptCheckPanel *checkPanel() const { return m_checkPanel; }

    // The copy of unsaved work kept for a restart after a crash.
    RecoveryJournal *recoveryJournal() const { return m_journal; }
    // Puts work left behind back: the song reloaded when its file is there,
    // the lines as they were (changed, not saved), the script's path.
    void restoreWork(const RecoveryState &state);
    // Whether the window holds nothing of the author's yet (a restore may go here).
    bool isUntouched() const;

    // Title for a document named on the command line ("無題" when none).
    void setDocumentTitle(const QString &name);

    // Tests put lock states of their own in place of the keyboard's; an empty
    // function reads the keyboard again. Takes effect at the next refresh.
    static void setLockStateReader(std::function<LockState()> reader);

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void setTitle(const QString &title);
    void buildMenus();
    void buildStatusBar();
    void refreshIndicators();
    void showStatusTip(const QString &tip);
    QAction *addOwnAction(class QMenu *menu, const char *objectName, const QString &text, int id,
                          const QString &tip);

    VelkanView *m_view = nullptr;
    ScriptReading *m_reading = nullptr;
    RecoveryJournal *m_journal = nullptr;
    PlayerPreviewWindow *m_preview = nullptr;
    ScriptCheckPanel *m_checkPanel = nullptr;
    QLabel *m_messagePane = nullptr;
    QList<QLabel *> m_indicators;
    QHash<int, QAction *> m_actions;
};

} // namespace velkan
