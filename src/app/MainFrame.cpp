#include "app/MainFrame.h"

#include "aids/CommandTemplateMenu.h"
#include "aids/KaraokeLyricsCommand.h"
#include "aids/LyricLayoutDialog.h"
#include "aids/LyricRevealDialog.h"
#include "aids/PlayerPreview.h"
#include "aids/PreferencesDialog.h"
#include "aids/ScriptCheckPanel.h"
#include "aids/TapLatencyDialog.h"
#include "aids/TimingOffsetDialog.h"
#include "aids/core/CommandTemplates.h"
#include "app/AboutDialog.h"
#include "app/FileDrop.h"
#include "document/RecoveryJournal.h"
#include "document/ScriptReading.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/TappingAids.h"
#include "form/VelkanView.h"
#include "platform/HelpWindow.h"
#include "platform/LockKeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

namespace velkan {
namespace {

const QString kReady = QStringLiteral("ﾚﾃﾞｨ");
// The lock indicators, in the order of the status bar and of readLockState.
const QString kIndicatorNames[] = {QStringLiteral("ｶﾅ"), QStringLiteral("CAP"),
                                   QStringLiteral("NUM"), QStringLiteral("SCRL")};

std::function<LockState()> g_lockStateReader;

// Whether the user is in the menus with something highlighted: a title of the
// menu bar (its menu open, or reached with Alt), or an item of a menu of its
// own such as a context menu. A menu makes a separator under the mouse its
// active action, yet highlights nothing there.
bool menuItemHighlighted(const QMenuBar *bar)
{
    if (bar->activeAction())
        return true;
    const auto *menu = qobject_cast<const QMenu *>(QApplication::activePopupWidget());
    const QAction *active = menu ? menu->activeAction() : nullptr;
    return active && !active->isSeparator();
}

} // namespace

MainFrame::MainFrame(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("mainFrame"));
    // The frame is the program: once closed, the form goes with it (the
    // device is closed then), not only when the event loop has ended.
    setAttribute(Qt::WA_DeleteOnClose);
    m_view = new VelkanView(this);
    setCentralWidget(m_view);
    installCommandTemplateCommands(*m_view);
    installTimingOffsetCommand(*m_view);
    installLyricLayoutCommand(*m_view);
    installLyricRevealCommand(*m_view);
    FileDrop::install(this, m_view);
    // The player's reading of the script, for its screen and the check.
    m_reading = new ScriptReading(m_view->document(), this);
    connect(m_view->playback(), &Playback::songChanged, m_reading,
            [this] { m_reading->setSong(m_view->playback()->playerSong()); });
    m_checkPanel = new ScriptCheckPanel(*m_view, *m_reading, this);
    addDockWidget(Qt::RightDockWidgetArea, m_checkPanel);
    m_checkPanel->hide();
    buildMenus();
    buildStatusBar();
    setDocumentTitle({});
    // F1 opens the manual too, as it opens a dialog's own section inside one.
    QAction *help = m_view->action(cmd::Help);
    help->setShortcuts({help->shortcut(), QKeySequence(Qt::Key_F1)});
    // The title names the song once one is loaded; a changed script marks it.
    connect(m_view->playback(), &Playback::songChanged, this, [this](const QString &path) {
        setTitle(path.isEmpty() ? QStringLiteral("無題") : path);
    });
    connect(&m_view->document(), &ScriptDocument::modifiedChanged, this,
            &QWidget::setWindowModified);
    // Unsaved work is kept where a restart finds it.
    m_journal = new RecoveryJournal(m_view->document(), this);
    connect(m_view->playback(), &Playback::songChanged, m_journal, &RecoveryJournal::setSongPath);
    connect(m_view->playback(), &Playback::starting, m_journal,
            [this] { m_journal->setPlaying(true); });
    connect(m_view->playback(), &Playback::performanceEnded, m_journal,
            [this] { m_journal->setPlaying(false); });
    connect(m_journal, &RecoveryJournal::problem, this, [this](const QString &text) {
        if (text.isEmpty())
            statusBar()->clearMessage();
        else
            statusBar()->showMessage(text);
    });
    // Fit the frame to the form.
    adjustSize();
}

MainFrame::~MainFrame()
{
    // The reading watches the form's document, and the windows showing it
    // watch the reading: they go before the form (a child like them) does.
    delete m_preview;
    delete m_checkPanel;
    delete m_reading;
    delete m_journal;
}

bool MainFrame::isUntouched() const
{
    const ScriptDocument &document = m_view->document();
    return !document.isModified() && document.scriptPath().isEmpty() &&
           m_view->playback()->songPath().isEmpty();
}

void MainFrame::restoreWork(const RecoveryState &state)
{
    const QString songPath = QFile::decodeName(QByteArray::fromStdString(state.songPath));
    if (!songPath.isEmpty()) {
        if (QFileInfo::exists(songPath)) {
            // The song first: its load puts its own lines in, which the
            // restored ones then replace.
            m_view->playback()->loadSong(songPath);
        } else {
            statusBar()->showMessage(
                QStringLiteral("曲 %1 が見つからないため、曲は読み込んでいません").arg(songPath));
        }
    }
    ScriptDocument &document = m_view->document();
    // With its history where it fits the lines: the lines before it, then
    // each step made again, and the steps that were undone undone again.
    ScriptLines base;
    const bool history = !state.steps.empty() &&
                         state.steps.size() <= RecoveryJournal::kMaxHistorySteps &&
                         linesBeforeHistory(state, base);
    document.assign(history ? base : state.lines, QStringLiteral("作業の復元"), false);
    if (history) {
        for (const RecoveryStep &step : state.steps)
            document.replayStep(step);
        for (std::size_t i = static_cast<std::size_t>(state.stepsDone); i < state.steps.size(); ++i)
            document.undo();
    }
    document.setScriptPath(QFile::decodeName(QByteArray::fromStdString(state.scriptPath)));
    // The restored work is this instance's to keep now.
    m_journal->writeNow();
}

PlayerPreviewWindow *MainFrame::playerPreview()
{
    if (!m_preview) {
        m_preview = new PlayerPreviewWindow(*m_view, *m_reading, this);
        // Closing the window unticks its menu item.
        connect(m_preview, &PlayerPreviewWindow::shownChanged, this, [this](bool shown) {
            QAction *item = m_actions.value(cmd::PlayerPreview);
            const QSignalBlocker quiet(item);
            item->setChecked(shown);
        });
    }
    return m_preview;
}

QAction *MainFrame::action(int commandId) const
{
    if (QAction *own = m_actions.value(commandId))
        return own;
    return m_view->action(commandId);
}

// An action of the frame itself.
QAction *MainFrame::addOwnAction(QMenu *menu, const char *objectName, const QString &text, int id,
                                 const QString &tip)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QString::fromLatin1(objectName));
    a->setData(id);
    a->setStatusTip(tip);
    m_actions.insert(id, a);
    return a;
}

// The menus show the form's actions; the frame adds its own.
void MainFrame::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    file->setObjectName(QStringLiteral("fileMenu"));
    file->addAction(installKaraokeLyricsCommand(*m_view));
    file->addSeparator();
    QAction *exit = addOwnAction(file, "actionExit", QStringLiteral("Velkanの終了(&X)"), cmd::Exit,
                                 QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"));
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *edit = bar->addMenu(QStringLiteral("編集(&E)"));
    edit->setObjectName(QStringLiteral("editMenu"));
    edit->addAction(m_view->undoAction());
    edit->addAction(m_view->redoAction());
    edit->addSeparator();
    TappingAids *tapping = m_view->tapping();
    edit->addAction(tapping->action(cmd::NudgeEarlier));
    edit->addAction(tapping->action(cmd::NudgeLater));

    QMenu *play = bar->addMenu(QStringLiteral("演奏(&P)"));
    play->setObjectName(QStringLiteral("playMenu"));
    play->addAction(tapping->action(cmd::StartFromLine));
    play->addAction(tapping->action(cmd::RetapRange));
    play->addSeparator();
    play->addAction(tapping->action(cmd::Slower));
    play->addAction(tapping->action(cmd::Faster));
    play->addSeparator();
    QMenu *grid = play->addMenu(QStringLiteral("刻みの単位(&G)"));
    grid->setObjectName(QStringLiteral("gridMenu"));
    for (int id : {cmd::GridQuarter, cmd::GridEighth, cmd::GridSixteenth, cmd::GridStep})
        grid->addAction(tapping->action(id));
    play->addSeparator();
    QAction *latency =
        addOwnAction(play, "actionTapLatency", QStringLiteral("タップ遅れの測定(&L)..."),
                     cmd::TapLatency, QStringLiteral("拍に合わせてタップし、タップの遅れを測る"));
    connect(latency, &QAction::triggered, this, [this] {
        TapLatencyDialog dialog(*m_view, this);
        dialog.exec();
    });

    QMenu *settings = bar->addMenu(QStringLiteral("設定(&S)"));
    settings->setObjectName(QStringLiteral("settingsMenu"));
    settings->addAction(m_view->action(cmd::LyricLayout));
    settings->addSeparator();
    settings->addAction(m_view->action(cmd::LyricReveal));
    settings->addSeparator();
    settings->addAction(m_view->action(cmd::TimingOffset));
    settings->addSeparator();
    QAction *check =
        addOwnAction(settings, "actionScriptCheck", QStringLiteral("スクリプトの検査(&K)"),
                     cmd::ScriptCheck, QStringLiteral("ﾌﾟﾚｰﾔｰが読むとおりにｽｸﾘﾌﾟﾄを検査"));
    connect(check, &QAction::triggered, m_checkPanel, &ScriptCheckPanel::check);
    settings->addSeparator();
    QAction *preferences = addOwnAction(
        settings, "actionPreferences", QStringLiteral("環境設定(&P)..."), cmd::Preferences,
        QStringLiteral("再生速度、刻みの単位、タップ遅れなどの設定"));
    connect(preferences, &QAction::triggered, this, [this] {
        if (PreferencesDialog::edit(this))
            m_view->playback()->reloadSettings();
    });

    QMenu *commands = bar->addMenu(QStringLiteral("コマンド(&C)"));
    commands->setObjectName(QStringLiteral("commandMenu"));
    for (const CommandTemplate &entry : commandTemplates()) {
        if (entry.separatorBefore)
            commands->addSeparator();
        commands->addAction(m_view->action(entry.commandId));
    }

    QMenu *view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->setObjectName(QStringLiteral("viewMenu"));
    QAction *status = addOwnAction(view, "actionToggleStatusBar", QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S)"),
                                   cmd::ToggleStatusBar, QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示"));
    status->setCheckable(true);
    status->setChecked(true);
    connect(status, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });
    QAction *preview =
        addOwnAction(view, "actionPlayerPreview", QStringLiteral("プレーヤー表示(&P)"),
                     cmd::PlayerPreview, QStringLiteral("ﾌﾟﾚｰﾔｰが見せる画面を表示/非表示"));
    preview->setCheckable(true);
    connect(preview, &QAction::toggled, this, [this](bool on) { playerPreview()->setVisible(on); });

    QMenu *help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(QStringLiteral("helpMenu"));
    help->addAction(m_view->action(cmd::Help));
    QAction *about =
        addOwnAction(help, "actionAbout", QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velkan) (&A)..."), cmd::About,
                     QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"));
    connect(about, &QAction::triggered, this, [this] {
        AboutDialog dialog(this);
        dialog.exec();
    });
}

void MainFrame::buildStatusBar()
{
    QStatusBar *status = statusBar();
    status->setObjectName(QStringLiteral("statusBar"));
    m_messagePane = new QLabel(kReady, status);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    status->addWidget(m_messagePane, 1);
    for (const QString &name : kIndicatorNames) {
        auto *l = new QLabel(name, status);
        l->setObjectName(QStringLiteral("indicator") + name);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        // Sized for its name, which it shows only while the lock is on.
        l->setMinimumSize(l->fontMetrics().horizontalAdvance(name) + 10, l->sizeHint().height());
        status->addPermanentWidget(l);
        m_indicators << l;
    }
    refreshIndicators();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainFrame::refreshIndicators);
    timer->start(500);
}

void MainFrame::setLockStateReader(std::function<LockState()> reader)
{
    g_lockStateReader = std::move(reader);
}

void MainFrame::refreshIndicators()
{
    const LockState s = g_lockStateReader ? g_lockStateReader() : readLockState();
    const std::optional<bool> states[] = {s.kana, s.caps, s.num, s.scroll};
    for (int i = 0; i < m_indicators.size(); ++i) {
        // The name while the lock is on; nothing when off or when the system does not say.
        m_indicators[i]->setText(states[i].value_or(false) ? kIndicatorNames[i] : QString());
    }
}

bool MainFrame::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        showStatusTip(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

// Menus send an empty tip both for a highlighted item that has none and when
// the menus close; only the latter brings the idle text back.
void MainFrame::showStatusTip(const QString &tip)
{
    statusBar()->clearMessage();
    m_messagePane->setText(tip.isEmpty() && !menuItemHighlighted(menuBar()) ? kReady : tip);
}

void MainFrame::setDocumentTitle(const QString &name)
{
    setTitle((name.isEmpty() ? QStringLiteral("無題") : name) + QStringLiteral(" - Velkan"));
}

// The one place the title is set: "[*]" is where a changed script shows "*".
void MainFrame::setTitle(const QString &title)
{
    QString text = title;
    // A "[*]" of the name itself is shown as it is, not as the marker.
    text.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(text + QStringLiteral("[*]"));
}

void MainFrame::closeEvent(QCloseEvent *event)
{
    if (!m_view->confirmDiscard()) {
        event->ignore();
        return;
    }
    m_view->playback()->end();
    // Saved, or given up when asked: nothing is left to restore.
    m_journal->discard();
    // The manual's window would otherwise keep the program running with no
    // window left to quit it from.
    HelpWindow::close();
    event->accept();
}

} // namespace velkan
