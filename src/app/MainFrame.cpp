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

#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
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
    // The idle text sits under any status tip; it shows whenever none does.
    m_messagePane = new QLabel(QStringLiteral("ﾚﾃﾞｨ"), status);
    m_messagePane->setObjectName(QStringLiteral("messagePane"));
    status->addWidget(m_messagePane, 1);
    const QStringList names = {QStringLiteral("ｶﾅ"), QStringLiteral("CAP"), QStringLiteral("NUM"),
                               QStringLiteral("SCRL")};
    for (const QString &name : names) {
        auto *l = new QLabel(name, status);
        l->setObjectName(QStringLiteral("indicator") + name);
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(l->fontMetrics().horizontalAdvance(name) + 10);
        status->addPermanentWidget(l);
        m_indicators << l;
    }
    refreshIndicators();
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainFrame::refreshIndicators);
    timer->start(500);
}

void MainFrame::refreshIndicators()
{
    const LockState s = readLockState();
    const std::optional<bool> states[] = {s.kana, s.caps, s.num, s.scroll};
    for (int i = 0; i < m_indicators.size(); ++i) {
        // Lit when the lock is on; greyed when off or when the system does not say.
        m_indicators[i]->setEnabled(states[i].value_or(false));
    }
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
