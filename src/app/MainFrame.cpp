#include "app/MainFrame.h"

#include "aids/CommandTemplateMenu.h"
#include "aids/LyricLayoutDialog.h"
#include "aids/LyricRevealDialog.h"
#include "aids/TimingOffsetDialog.h"
#include "app/AboutDialog.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "platform/HelpWindow.h"
#include "platform/LockKeys.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>

namespace velkan {
namespace {

struct TemplateItem {
    const char *text;
    int id;
};
// The command template menu, in menu order; 0 marks a separator.
constexpr TemplateItem kTemplateItems[] = {
    {"WMODE", 32772},   {"OFFSET", 32786},  {"WAIT", 32773},  {"LOCATE", 32774},
    {"COLOR", 32775},   {"TON", 32787},     {"TCLS", 32776},  {"ESC", 32788},
    {"SCROLL", 32777},  {nullptr, 0},       {"GMODE", 32778}, {"GSCREEN", 32779},
    {"GLINE", 32780},   {"GCIRCLE", 32781}, {"GON", 32789},   {"GCLS", 32790},
    {"GMOVE", 32782},   {nullptr, 0},       {"PAL", 32783},   {"FADE", 32784},
    {"MAG", 32785},
};

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
    buildMenus();
    buildStatusBar();
    setDocumentTitle({});
    // Fit the frame to the form.
    adjustSize();
}

MainFrame::~MainFrame() = default;

QAction *MainFrame::addCommand(QMenu *menu, const QString &text, int id, const QString &tip)
{
    auto *a = menu->addAction(text);
    a->setData(id);
    a->setStatusTip(tip);
    m_actions.insert(id, a);
    connect(a, &QAction::triggered, this, [this, id] { m_view->runCommand(id); });
    return a;
}

QAction *MainFrame::action(int commandId) const
{
    return m_actions.value(commandId);
}

void MainFrame::buildMenus()
{
    QMenuBar *bar = menuBar();

    QMenu *file = bar->addMenu(QStringLiteral("ﾌｧｲﾙ(&F)"));
    file->setObjectName(QStringLiteral("fileMenu"));
    QAction *exit = file->addAction(QStringLiteral("Velkanの終了(&X)"));
    exit->setData(int(cmd::Exit));
    exit->setStatusTip(QStringLiteral("ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示"));
    m_actions.insert(cmd::Exit, exit);
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu *settings = bar->addMenu(QStringLiteral("設定(&S)"));
    settings->setObjectName(QStringLiteral("settingsMenu"));
    addCommand(settings, QStringLiteral("歌詞表示位置の設定"), cmd::LyricLayout);
    settings->addSeparator();
    addCommand(settings, QStringLiteral("歌詞の出現/消去方法"), cmd::LyricReveal);
    settings->addSeparator();
    addCommand(settings, QStringLiteral("歌詞追い時間の調整"), cmd::TimingOffset);

    QMenu *commands = bar->addMenu(QStringLiteral("コマンド(&C)"));
    commands->setObjectName(QStringLiteral("commandMenu"));
    for (const TemplateItem &item : kTemplateItems) {
        if (!item.text)
            commands->addSeparator();
        else
            addCommand(commands, QString::fromLatin1(item.text), item.id);
    }

    QMenu *view = bar->addMenu(QStringLiteral("表示(&V)"));
    view->setObjectName(QStringLiteral("viewMenu"));
    QAction *status = view->addAction(QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S)"));
    status->setData(int(cmd::ToggleStatusBar));
    status->setCheckable(true);
    status->setChecked(true);
    status->setStatusTip(QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰの表示/非表示"));
    m_actions.insert(cmd::ToggleStatusBar, status);
    connect(status, &QAction::toggled, this, [this](bool on) { statusBar()->setVisible(on); });

    QMenu *help = bar->addMenu(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    help->setObjectName(QStringLiteral("helpMenu"));
    // The menu names Ctrl+H, but no key is bound to it.
    addCommand(help, QStringLiteral("Velkanのヘルプ(&H)...\tCtrl+H"), cmd::Help);
    QAction *about = help->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velkan) (&A)..."));
    about->setData(int(cmd::About));
    about->setStatusTip(QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"));
    m_actions.insert(cmd::About, about);
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
    setWindowTitle((name.isEmpty() ? QStringLiteral("無題") : name) + QStringLiteral(" - Velkan"));
}

void MainFrame::closeEvent(QCloseEvent *event)
{
    if (!m_view->confirmDiscard()) {
        event->ignore();
        return;
    }
    emit m_view->aboutToClose();
    m_view->playback()->end();
    // The manual's window would otherwise keep the program running with no
    // window left to quit it from.
    HelpWindow::close();
    event->accept();
}

} // namespace velkan
