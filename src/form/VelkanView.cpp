#include "form/VelkanView.h"

#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListModel.h"
#include "form/ScriptListView.h"
#include "platform/DialogUnits.h"
#include "platform/FileDialog.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/MessageBox.h"
#include "platform/ShiftJisCodec.h"
#include "platform/TypedLine.h"
#include "script/LyricsFile.h"
#include "script/ScriptFile.h"

#include <QFile>
#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <limits>

namespace velkan {
namespace {

VelkanView *g_current = nullptr;

enum class Kind { Group, Button, Static, StaticRight, HScroll, EditRight, List, LineEdit, HelpPanel };

struct ControlSpec {
    int id;  // 0 for controls nothing refers to
    Kind kind;
    const char16_t *text;
    int x, y, w, h;
    const char *objectName;
};

// The form's template, in dialog units.
constexpr ControlSpec kControls[] = {
    {cmd::FileGroup, Kind::Group, u"ファイル", 13, 6, 44, 59, "fileGroup"},
    {cmd::MidiLoad, Kind::Button, u"MIDI読込", 18, 17, 34, 14, "midiLoadButton"},
    {cmd::LyricsLoad, Kind::Button, u"歌詞読込", 18, 33, 34, 14, "lyricsLoadButton"},
    {cmd::WrdSave, Kind::Button, u"WRD保存", 18, 49, 34, 14, "wrdSaveButton"},
    {0, Kind::Group, u"演奏/歌詞追", 63, 6, 50, 59, "playGroup"},
    {cmd::Start, Kind::Button, u"開始(s)", 68, 17, 38, 14, "startButton"},
    {cmd::Pause, Kind::Button, u"中断(p)", 68, 33, 38, 14, "pauseButton"},
    {cmd::End, Kind::Button, u"終了(e)", 68, 49, 38, 14, "endButton"},
    {0, Kind::Group, u"WRD編集", 119, 6, 58, 59, "editGroup"},
    {cmd::Change, Kind::Button, u"変更(c)", 121, 17, 26, 20, "changeButton"},
    {cmd::Delete, Kind::Button, u"削除(d)", 121, 40, 26, 20, "deleteButton"},
    {cmd::Overwrite, Kind::Button, u"上書(o)", 149, 17, 26, 20, "overwriteButton"},
    {cmd::Insert, Kind::Button, u"挿入(i)", 149, 40, 26, 20, "insertButton"},
    {0, Kind::Static, u"演奏位置", 178, 7, 32, 9, "positionLabel"},
    {cmd::DragBar, Kind::StaticRight, u"nnn", 214, 7, 13, 8, "dragBarLabel"},
    {cmd::BarCount, Kind::Static, u"/mmm", 229, 7, 18, 8, "barCountLabel"},
    {cmd::PositionBar, Kind::HScroll, u"", 179, 17, 71, 15, "positionBar"},
    {0, Kind::Static, u"小節   n/4", 180, 34, 37, 10, "barBeatLabel"},
    {cmd::BarBox, Kind::EditRight, u"", 177, 45, 23, 15, "barBox"},
    {cmd::BeatBox, Kind::EditRight, u"", 202, 45, 12, 15, "beatBox"},
    {cmd::ScriptListCtl, Kind::List, u"", 7, 69, 280, 220, "scriptList"},
    {cmd::LineEditCtl, Kind::LineEdit, u"", 7, 293, 280, 14, "lineEdit"},
    {cmd::HelpPanelCtl, Kind::HelpPanel, u"", 6, 312, 280, 38, "helpPanel"},
};

constexpr int kFormWidthDu = 295;
constexpr int kFormHeightDu = 353;

struct Accelerator {
    Qt::Key key;
    int command;
};
constexpr Accelerator kAccelerators[] = {
    {Qt::Key_C, cmd::Change}, {Qt::Key_D, cmd::Delete}, {Qt::Key_E, cmd::End},
    {Qt::Key_I, cmd::Insert}, {Qt::Key_O, cmd::Overwrite}, {Qt::Key_P, cmd::Pause},
    {Qt::Key_S, cmd::Start},
};

bool isAccelerator(const QKeyEvent *e)
{
    if ((e->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    for (const auto &a : kAccelerators) {
        if (e->key() == a.key)
            return true;
    }
    return false;
}

} // namespace

VelkanView::VelkanView(QWidget *parent) : QWidget(parent)
{
    g_current = this;
    setObjectName(QStringLiteral("velkanView"));
    setFont(Fonts::formFont());
    buildControls();
    installAccelerators();
    m_playback = new Playback(*this, this);

    setCommandHandler(cmd::LyricsLoad, [this] { loadScript(); });
    setCommandHandler(cmd::WrdSave, [this] { saveScript(); });
    setCommandHandler(cmd::Change, [this] { changeLine(); });
    setCommandHandler(cmd::Delete, [this] { deleteLine(); });
    setCommandHandler(cmd::Overwrite, [this] { overwriteLine(); });
    setCommandHandler(cmd::Insert, [this] { insertLine(); });
    setCommandHandler(cmd::Help, [this] {
        if (!HelpWindow::showContents())
            MessageBox::show(this, QStringLiteral("ヘルプファイルが見つかりません"));
    });
}

VelkanView::~VelkanView()
{
    // Stops the beat timer and closes the device before any control goes.
    delete m_playback;
    m_playback = nullptr;
    HelpWindow::close();
    // The model watches m_scriptList, a member that goes before the children do.
    m_list->setModel(nullptr);
    delete m_model;
    m_model = nullptr;
    if (g_current == this)
        g_current = nullptr;
}

VelkanView *VelkanView::current()
{
    return g_current;
}

void VelkanView::buildControls()
{
    const DialogUnits du(font());
    m_formSize = du.size(kFormWidthDu, kFormHeightDu);
    m_model = new ScriptListModel(&m_scriptList, this);

    for (const ControlSpec &ctl : kControls) {
        const QString text = QString::fromUtf16(ctl.text);
        QWidget *w = nullptr;
        switch (ctl.kind) {
        case Kind::Group: {
            auto *g = new QGroupBox(text, this);
            if (ctl.id == cmd::FileGroup)
                m_fileGroup = g;
            w = g;
            break;
        }
        case Kind::Button: {
            auto *b = new QPushButton(text, this);
            b->setAutoDefault(false);
            const int id = ctl.id;
            connect(b, &QPushButton::clicked, this, [this, id] { runCommand(id); });
            w = b;
            break;
        }
        case Kind::Static:
        case Kind::StaticRight: {
            auto *l = new QLabel(text, this);
            l->setAlignment((ctl.kind == Kind::StaticRight ? Qt::AlignRight : Qt::AlignLeft) |
                            Qt::AlignTop);
            if (ctl.id == cmd::DragBar)
                m_dragBar = l;
            if (ctl.id == cmd::BarCount)
                m_barCount = l;
            w = l;
            break;
        }
        case Kind::HScroll:
            m_positionBar = new QScrollBar(Qt::Horizontal, this);
            m_positionBar->setRange(0, 0);
            w = m_positionBar;
            break;
        case Kind::EditRight: {
            auto *e = new QLineEdit(this);
            e->setAlignment(Qt::AlignRight);
            (ctl.id == cmd::BarBox ? m_barBox : m_beatBox) = e;
            w = e;
            break;
        }
        case Kind::List:
            m_list = new ScriptListView(this);
            m_list->setModel(m_model);
            w = m_list;
            break;
        case Kind::LineEdit:
            m_lineEdit = new QLineEdit(this);
            // A script line may be far longer than QLineEdit's default limit.
            m_lineEdit->setMaxLength(std::numeric_limits<int>::max());
            w = m_lineEdit;
            break;
        case Kind::HelpPanel:
            m_helpPanel = new QPlainTextEdit(this);
            m_helpPanel->setReadOnly(true);
            m_helpPanel->setLineWrapMode(QPlainTextEdit::NoWrap);
            w = m_helpPanel;
            break;
        }
        w->setObjectName(QString::fromLatin1(ctl.objectName));
        QRect r = du.rect(ctl.x, ctl.y, ctl.w, ctl.h);
        // A label whose text is wider than its box in this face grows to the
        // right rather than being cut off.
        if (auto *label = qobject_cast<QLabel *>(w); label && ctl.kind == Kind::Static)
            r.setWidth(std::max(r.width(), label->sizeHint().width()));
        w->setGeometry(r);
        if (ctl.id)
            m_controls[ctl.id] = w;
    }
    // Group boxes stay behind the buttons they frame.
    for (QGroupBox *g : findChildren<QGroupBox *>())
        g->lower();
    setMinimumSize(0, 0);
    resize(m_formSize);
}

QWidget *VelkanView::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void VelkanView::installAccelerators()
{
    for (const Accelerator &a : kAccelerators) {
        auto *shortcut = new QShortcut(QKeySequence(Qt::CTRL | a.key), this);
        shortcut->setContext(Qt::WindowShortcut);
        const int id = a.command;
        connect(shortcut, &QShortcut::activated, this, [this, id] { runCommand(id); });
    }
    // The edit boxes and the list claim Ctrl+C (copy) and Ctrl+E for themselves;
    // the accelerators must win in every focus.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

bool VelkanView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && isAccelerator(static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

bool VelkanView::runCommand(int id)
{
    const auto it = m_handlers.find(id);
    if (it == m_handlers.end() || !it->second)
        return false;
    it->second();
    return true;
}

void VelkanView::setCommandHandler(int id, std::function<void()> handler)
{
    m_handlers[id] = std::move(handler);
}

bool VelkanView::hasCommandHandler(int id) const
{
    return m_handlers.count(id) != 0;
}

int VelkanView::selectedIndex() const
{
    return m_list->selectedRow();
}

void VelkanView::selectLine(int i)
{
    m_list->selectRow(i);
}

void VelkanView::setLineEditText(const std::string &bytes)
{
    m_lineEdit->setText(ShiftJis::decode(bytes));
    m_lineEdit->setFocus();
}

void VelkanView::setHelpText(const QString &text)
{
    m_helpPanel->setPlainText(text);
}

// Layout on resize: the list takes all height the form gains or loses; the
// two boxes under it keep their size and stay at the bottom. Outer sizes are
// kept as they are, whatever frame width the style draws.
void VelkanView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutBottom(event->size().width(), event->size().height());
}

void VelkanView::layoutBottom(int, int cy)
{
    if (!m_fileGroup || !m_list || !m_lineEdit || !m_helpPanel)
        return;
    const int groupH = m_fileGroup->height();
    const QSize edit = m_lineEdit->size();
    const QSize help = m_helpPanel->size();
    const int listW = m_list->width();
    m_helpPanel->setGeometry(12, cy - help.height() - 1, help.width(), help.height());
    m_lineEdit->setGeometry(12, cy - help.height() - edit.height() - 2, edit.width(), edit.height());
    const int listH = std::max(0, cy - heightBesideList());
    m_list->setGeometry(12, groupH + 15, listW, listH);
}

// What layoutBottom keeps of the form's height for everything but the list.
int VelkanView::heightBesideList() const
{
    return m_fileGroup->height() + m_lineEdit->height() + m_helpPanel->height() + 22;
}

// None of the controls reaches past the right edge, and the list, the one that
// gives up height, keeps its frame and a whole scroll bar (arrows and handle).
QSize VelkanView::minimumSizeHint() const
{
    if (!m_fileGroup || !m_list || !m_lineEdit || !m_helpPanel)
        return QWidget::minimumSizeHint();
    int right = 0;
    for (const QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (!w->isWindow())
            right = std::max(right, w->geometry().right() + 1);
    }
    const int listH = m_list->verticalScrollBar()->sizeHint().height() + 2 * m_list->frameWidth();
    return {right, heightBesideList() + listH};
}

bool VelkanView::confirmDiscard()
{
    if (!m_scriptList.isModified())
        return true;
    switch (MessageBox::askSaveChanges(this)) {
    case MessageBox::Save:
        return saveScript();
    case MessageBox::Discard:
        return true;
    default:
        return false;
    }
}

void VelkanView::loadScript()
{
    const QString path = FileDialog::getOpenFileName(
        this, {QStringLiteral("TXT/WRDﾌｧｲﾙ(*.TXT;*.WRD)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")});
    if (path.isEmpty())
        return;
    if (!confirmDiscard())
        return;
    m_lyricsPath = path;
    LyricsLoadResult result = loadLyricsFile(QFile::encodeName(path).toStdString());
    if (result.problem) {
        MessageBox::show(this, QString::fromStdString(
                                   conversionProblemMessage(*result.problem, result.encoding)));
        return;
    }
    if (result.status == LoadResult::Status::CannotOpen ||
        result.status == LoadResult::Status::NoMemory) {
        MessageBox::show(this, QString::fromUtf8(messageFor(result.status)));
        return;
    }
    m_scriptList.assign(std::move(result.lines));
    m_scriptList.setModified(false);
    // The script is saved as Shift-JIS whatever it was read as: say so
    // when that is not what the file holds.
    if (result.encoding == TextEncoding::ShiftJis) {
        showStatus({});
    } else {
        const std::string_view name = encodingName(result.encoding);
        showStatus(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) +
                   QStringLiteral(" のファイルを Shift-JIS に変換して読み込みました"));
    }
    if (result.status != LoadResult::Status::Ok)
        MessageBox::show(this, QString::fromUtf8(messageFor(result.status)));
}

void VelkanView::showStatus(const QString &text)
{
    // The status bar belongs to the main window around the form, when there is one.
    QStatusBar *status = window()->findChild<QStatusBar *>();
    if (!status)
        return;
    if (text.isEmpty())
        status->clearMessage();
    else
        status->showMessage(text);
}

bool VelkanView::saveScript()
{
    const QString path = FileDialog::getSaveFileName(
        this, {QStringLiteral("WRDﾌｧｲﾙ(*.WRD)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")});
    if (path.isEmpty())
        return false;
    m_wrdPath = path;
    // The file system takes the locale's bytes for a name; the message shows it as text.
    const SaveResult saved = velkan::saveScript(QFile::encodeName(path).toStdString(), m_scriptList.lines());
    if (saved.status != SaveStatus::Ok) {
        MessageBox::show(this, QString::fromStdString(saveFailureMessage(saved, path.toStdString())));
        return false;
    }
    m_scriptList.setModified(false);
    return true;
}

// --- line editing -------------------------------------------------------

bool VelkanView::takeLineEditText(std::string &out)
{
    auto bytes = typedScriptLine(
        this, m_lineEdit->text(), QStringLiteral("「%1」はShift-JISで表せない文字のため、行に入れられません。"));
    if (!bytes)
        return false;
    out = std::move(*bytes);
    return true;
}

void VelkanView::changeLine()
{
    const int i = selectedIndex();
    m_editIndex = i;
    if (i >= 0) {
        m_editText = m_scriptList.text(i);
        m_lineEdit->setText(ShiftJis::decode(m_editText));
    }
    m_lineEdit->setFocus();
}

void VelkanView::deleteLine()
{
    const int i = selectedIndex();
    m_editIndex = i;
    if (i >= 0) {
        m_scriptList.remove(i);
        selectLine(i);
    }
    m_list->setFocus();
}

void VelkanView::overwriteLine()
{
    std::string text;
    if (!takeLineEditText(text))
        return;
    const int i = selectedIndex();
    m_editIndex = i;
    m_editText = text;
    if (i >= 0) {
        m_scriptList.replace(i, std::move(text));
        selectLine(i);
    } else {
        m_scriptList.append(std::move(text));
        selectLine(-1);
    }
    m_list->setFocus();
}

void VelkanView::insertLine()
{
    std::string text;
    if (!takeLineEditText(text))
        return;
    m_editText = text;
    const int i = selectedIndex();
    m_editIndex = i;
    m_scriptList.insert(i, std::move(text));
    selectLine(i);
    m_list->setFocus();
}

} // namespace velkan
