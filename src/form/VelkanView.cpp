#include "form/VelkanView.h"

#include "aids/core/CommandTemplates.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListModel.h"
#include "form/ScriptListView.h"
#include "form/TappingAids.h"
#include "platform/AppSettings.h"
#include "platform/DialogTemplate.h"
#include "platform/DialogUnits.h"
#include "platform/FileDialog.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/MessageBox.h"
#include "platform/ShiftJisCodec.h"
#include "platform/TypedLine.h"
#include "script/LyricsFile.h"
#include "script/ScriptFile.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <limits>

namespace velkan {
namespace {

using Kind = ControlKind;
constexpr Qt::Alignment kTopLeft = Qt::AlignLeft | Qt::AlignTop;
constexpr Qt::Alignment kTopRight = Qt::AlignRight | Qt::AlignTop;

// The form's template, in dialog units. The script list and the help panel
// are made by the form itself.
constexpr DialogControl kControls[] = {
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
    {0, Kind::Static, u"演奏位置", 178, 7, 32, 9, "positionLabel", kTopLeft},
    {cmd::DragBar, Kind::Static, u"nnn", 214, 7, 13, 8, "dragBarLabel", kTopRight},
    {cmd::BarCount, Kind::Static, u"/mmm", 229, 7, 18, 8, "barCountLabel", kTopLeft},
    {cmd::PositionBar, Kind::HScroll, u"", 179, 17, 71, 15, "positionBar"},
    {0, Kind::Static, u"小節   n/4", 180, 34, 37, 10, "barBeatLabel", kTopLeft},
    {cmd::BarBox, Kind::Edit, u"", 177, 45, 23, 15, "barBox", Qt::AlignRight},
    {cmd::BeatBox, Kind::Edit, u"", 202, 45, 12, 15, "beatBox", Qt::AlignRight},
    {0, Kind::Static, u"速度", 224, 34, 30, 10, "speedLabel", kTopLeft},
    {cmd::SpeedBox, Kind::Custom, u"", 222, 45, 40, 15, "speedBox"},
    {cmd::ScriptListCtl, Kind::Custom, u"", 7, 69, 280, 220, "scriptList"},
    {cmd::LineEditCtl, Kind::Edit, u"", 7, 293, 280, 14, "lineEdit"},
    {cmd::HelpPanelCtl, Kind::Custom, u"", 6, 312, 280, 38, "helpPanel"},
};

constexpr int kFormWidthDu = 295;
constexpr int kFormHeightDu = 353;

// The form's commands: the buttons, the settings menu and help. Ctrl plus
// the letter of a button's caption runs it from anywhere in the window.
struct CommandSpec {
    int id;
    const char *objectName;
    const char16_t *text;
    Qt::Key ctrlKey; // 0: no accelerator
};
constexpr CommandSpec kCommands[] = {
    {cmd::MidiLoad, "actionMidiLoad", u"MIDI読込", Qt::Key(0)},
    {cmd::LyricsLoad, "actionLyricsLoad", u"歌詞読込", Qt::Key(0)},
    {cmd::WrdSave, "actionWrdSave", u"WRD保存", Qt::Key(0)},
    {cmd::Start, "actionStart", u"開始(s)", Qt::Key_S},
    {cmd::Pause, "actionPause", u"中断(p)", Qt::Key_P},
    {cmd::End, "actionEnd", u"終了(e)", Qt::Key_E},
    {cmd::Change, "actionChange", u"変更(c)", Qt::Key_C},
    {cmd::Delete, "actionDelete", u"削除(d)", Qt::Key_D},
    {cmd::Overwrite, "actionOverwrite", u"上書(o)", Qt::Key_O},
    {cmd::Insert, "actionInsert", u"挿入(i)", Qt::Key_I},
    {cmd::LyricLayout, "actionLyricLayout", u"歌詞表示位置の設定", Qt::Key(0)},
    {cmd::LyricReveal, "actionLyricReveal", u"歌詞の出現/消去方法", Qt::Key(0)},
    {cmd::TimingOffset, "actionTimingOffset", u"歌詞追い時間の調整", Qt::Key(0)},
    // The menu names Ctrl+H, but no key is bound to it.
    {cmd::Help, "actionHelp", u"Velkanのヘルプ(&H)...\tCtrl+H", Qt::Key(0)},
};

bool isAccelerator(const QKeyEvent *e)
{
    if ((e->modifiers() & ~Qt::KeypadModifier) != Qt::ControlModifier)
        return false;
    for (const CommandSpec &c : kCommands) {
        if (c.ctrlKey && e->key() == c.ctrlKey)
            return true;
    }
    return false;
}

} // namespace

VelkanView::VelkanView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("velkanView"));
    setFont(Fonts::formFont());
    buildActions();
    buildControls();
    m_document.setSelection([this] { return selectedIndex(); },
                            [this](int row) { selectLine(row); });
    installAccelerators();
    buildUndoActions();
    m_playback = new Playback(*this, this);
    followPlayback();
    m_tapping = new TappingAids(*this);

    const auto on = [this](int id, auto slot) {
        connect(action(id), &QAction::triggered, this, slot);
    };
    on(cmd::LyricsLoad, [this] { loadScript(); });
    on(cmd::WrdSave, [this] { saveScript(); });
    on(cmd::Change, [this] { changeLine(); });
    on(cmd::Delete, [this] { deleteLine(); });
    on(cmd::Overwrite, [this] { overwriteLine(); });
    on(cmd::Insert, [this] { insertLine(); });
    on(cmd::Help, [this] {
        if (!HelpWindow::showContents())
            MessageBox::show(this, QStringLiteral("ヘルプファイルが見つかりません"));
    });
}

// The position display shows what playback says; the position bar's drags
// are playback's to act on.
void VelkanView::followPlayback()
{
    const auto show = [](QWidget *box, int value) {
        const QString text = value == Playback::kCleared ? QString() : QString::number(value);
        if (auto *edit = qobject_cast<QLineEdit *>(box))
            edit->setText(text);
        else if (auto *label = qobject_cast<QLabel *>(box))
            label->setText(text);
    };
    connect(m_playback, &Playback::barShown, this, [this, show](int bar) { show(m_barBox, bar); });
    connect(m_playback, &Playback::beatShown, this,
            [this, show](int beat) { show(m_beatBox, beat); });
    connect(m_playback, &Playback::draggedBarShown, this,
            [this, show](int bar) { show(m_dragBar, bar); });
    connect(m_playback, &Playback::barCountChanged, this,
            [this](int lastBar) { m_barCount->setText(QStringLiteral("/%1").arg(lastBar)); });
    connect(m_playback, &Playback::songLengthChanged, this,
            [this](int sixteenths) { m_positionBar->setRange(0, sixteenths); });
    connect(m_playback, &Playback::thumbMoved, this, [this](int position, bool evenIfHeld) {
        if (!evenIfHeld && m_positionBar->isSliderDown())
            return;
        const QSignalBlocker block(m_positionBar);
        m_positionBar->setValue(position);
        m_positionBar->setSliderPosition(position);
    });
    connect(m_playback, &Playback::starting, this, [this] { m_list->setFocus(); });

    // The value changes only when a drag ends; arrows, page clicks, the
    // wheel and keys are turned back.
    m_positionBar->setTracking(false);
    connect(m_positionBar, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (action == QAbstractSlider::SliderMove && m_positionBar->isSliderDown())
            return;
        if (action == QAbstractSlider::SliderNoAction)
            return;
        m_positionBar->setSliderPosition(m_positionBar->value());
    });
    connect(m_positionBar, &QAbstractSlider::sliderMoved, m_playback, &Playback::dragTo);
    connect(m_positionBar, &QAbstractSlider::sliderReleased, m_playback,
            [this] { m_playback->releaseAt(m_positionBar->sliderPosition()); });
}

void VelkanView::buildActions()
{
    const auto add = [this](int id, const QString &objectName, const QString &text) {
        auto *a = new QAction(text, this);
        a->setObjectName(objectName);
        a->setData(id);
        m_actions[id] = a;
        addAction(a);
        return a;
    };
    for (const CommandSpec &c : kCommands) {
        QAction *a = add(c.id, QString::fromLatin1(c.objectName), QString::fromUtf16(c.text));
        if (c.ctrlKey) {
            a->setShortcut(QKeySequence(Qt::CTRL | c.ctrlKey));
            a->setShortcutContext(Qt::WindowShortcut);
        }
    }
    for (const CommandTemplate &entry : commandTemplates()) {
        const QString name =
            QString::fromUtf8(entry.menuText.data(), qsizetype(entry.menuText.size()));
        add(entry.commandId, QStringLiteral("actionTemplate") + name, name);
    }
}

QAction *VelkanView::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

VelkanView::~VelkanView()
{
    // Stops the beat timer and closes the device before any control goes.
    delete m_playback;
    m_playback = nullptr;
    HelpWindow::close();
    // The model watches the document's lines, a member that goes before the children do.
    m_list->setModel(nullptr);
    delete m_model;
    m_model = nullptr;
}

void VelkanView::buildControls()
{
    const DialogUnits du(font());
    m_formSize = du.size(kFormWidthDu, kFormHeightDu);
    m_model = new ScriptListModel(&m_document.list(), this);

    const auto makeCustom = [this](const DialogControl &ctl, QWidget *parent) -> QWidget * {
        switch (ctl.id) {
        case cmd::ScriptListCtl:
            m_list = new ScriptListView(parent);
            m_list->setModel(m_model);
            return m_list;
        case cmd::SpeedBox: {
            auto *box = new QSpinBox(parent);
            box->setRange(AppSettings::minSpeedPercent, AppSettings::maxSpeedPercent);
            box->setSingleStep(AppSettings::speedPercentStep);
            box->setSuffix(QStringLiteral("%"));
            box->setAlignment(Qt::AlignRight);
            box->setKeyboardTracking(false);
            box->setValue(AppSettings::defaultSpeedPercent);
            box->setToolTip(QStringLiteral("再生速度 (F7: 遅く、F8: 速く)"));
            m_speedBox = box;
            return box;
        }
        case cmd::HelpPanelCtl:
            m_helpPanel = new QPlainTextEdit(parent);
            m_helpPanel->setReadOnly(true);
            m_helpPanel->setLineWrapMode(QPlainTextEdit::NoWrap);
            return m_helpPanel;
        }
        return nullptr;
    };
    const DialogControls controls = buildDialogTemplate(this, du, kControls, makeCustom);
    for (const auto &[ctl, w] : controls) {
        if (ctl.kind == Kind::Button) {
            auto *b = static_cast<QPushButton *>(w);
            connect(b, &QPushButton::clicked, action(ctl.id), &QAction::trigger);
        }
        // A left-aligned label whose text is wider than its box in this face
        // grows to the right rather than being cut off.
        if (ctl.kind == Kind::Static && (ctl.alignment & Qt::AlignLeft))
            w->resize(std::max(w->width(), w->sizeHint().width()), w->height());
    }
    m_fileGroup = controls.widget<QGroupBox>(cmd::FileGroup);
    m_dragBar = controls.widget<QLabel>(cmd::DragBar);
    m_barCount = controls.widget<QLabel>(cmd::BarCount);
    m_positionBar = controls.widget<QScrollBar>(cmd::PositionBar);
    m_positionBar->setRange(0, 0);
    m_barBox = controls.widget<QLineEdit>(cmd::BarBox);
    m_beatBox = controls.widget<QLineEdit>(cmd::BeatBox);
    m_lineEdit = controls.widget<QLineEdit>(cmd::LineEditCtl);
    // A script line may be far longer than QLineEdit's default limit.
    m_lineEdit->setMaxLength(std::numeric_limits<int>::max());
    m_controls = controls.byId();

    // Group boxes stay behind the buttons they frame.
    for (QWidget *g : controls.ofKind(Kind::Group))
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
    // The edit boxes and the list claim Ctrl+C (copy) and Ctrl+E for themselves;
    // the accelerators must win in every focus.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

// The menu item names the step it acts on: "元に戻す: 歌詞追い(&U)".
void VelkanView::buildUndoActions()
{
    QUndoStack *stack = m_document.undoStack();
    const auto make = [this](const char *name, const QString &base, QList<QKeySequence> keys,
                             const QString &tip, void (ScriptDocument::*run)()) {
        auto *action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setStatusTip(tip);
        action->setEnabled(false);
        action->setProperty("baseText", base);
        connect(action, &QAction::triggered, this, [this, run] { (m_document.*run)(); });
        addAction(action);
        return action;
    };
    m_undoAction =
        make("actionUndo", QStringLiteral("元に戻す"), {QKeySequence(Qt::CTRL | Qt::Key_Z)},
             QStringLiteral("直前の変更を取り消します"), &ScriptDocument::undo);
    m_redoAction =
        make("actionRedo", QStringLiteral("やり直し"),
             {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)},
             QStringLiteral("取り消した変更をやり直します"), &ScriptDocument::redo);
    const auto name = [](QAction *action, const QString &step, const char *mnemonic) {
        const QString base = action->property("baseText").toString();
        action->setText((step.isEmpty() ? base : base + QStringLiteral(": ") + step) +
                        QString::fromLatin1(mnemonic));
    };
    const auto refresh = [this, stack, name] {
        m_undoAction->setEnabled(stack->canUndo());
        m_redoAction->setEnabled(stack->canRedo());
        name(m_undoAction, stack->canUndo() ? stack->undoText() : QString(), "(&U)");
        name(m_redoAction, stack->canRedo() ? stack->redoText() : QString(), "(&R)");
    };
    connect(stack, &QUndoStack::indexChanged, this, refresh);
    connect(stack, &QUndoStack::cleanChanged, this, refresh);
    refresh();
}

bool VelkanView::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride &&
        isAccelerator(static_cast<QKeyEvent *>(event))) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
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
    m_lineEdit->setGeometry(12, cy - help.height() - edit.height() - 2, edit.width(),
                            edit.height());
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
    if (!m_document.isModified())
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
    if (!path.isEmpty())
        loadScriptFrom(path);
}

void VelkanView::loadScriptFrom(const QString &path)
{
    if (!confirmDiscard())
        return;
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
    m_document.assign(std::move(result.lines), QStringLiteral("歌詞読込"), true);
    m_document.setScriptPath(path);
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
    // The file system takes the locale's bytes for a name; the message shows it as text.
    const SaveResult saved =
        velkan::saveScript(QFile::encodeName(path).toStdString(), scriptList().lines());
    if (saved.status != SaveStatus::Ok) {
        MessageBox::show(this,
                         QString::fromStdString(saveFailureMessage(saved, path.toStdString())));
        return false;
    }
    m_document.setModified(false);
    m_document.setScriptPath(path);
    return true;
}

// --- line editing -------------------------------------------------------

bool VelkanView::takeLineEditText(std::string &out)
{
    auto bytes = typedScriptLine(
        this, m_lineEdit->text(),
        QStringLiteral("「%1」はShift-JISで表せない文字のため、行に入れられません。"));
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
        m_lineEdit->setText(ShiftJis::decode(scriptList().text(i)));
    }
    m_lineEdit->setFocus();
}

void VelkanView::deleteLine()
{
    const int i = selectedIndex();
    m_editIndex = i;
    if (i >= 0)
        m_document.removeLines(i, 1, QStringLiteral("行の削除"), i);
    m_list->setFocus();
}

void VelkanView::overwriteLine()
{
    std::string text;
    if (!takeLineEditText(text))
        return;
    const int i = selectedIndex();
    m_editIndex = i;
    if (i >= 0)
        m_document.replaceLine(i, text, QStringLiteral("行の上書き"), i);
    else
        m_document.insertLine(-1, text, QStringLiteral("行の上書き"), -1);
    m_list->setFocus();
}

void VelkanView::insertLine()
{
    std::string text;
    if (!takeLineEditText(text))
        return;
    const int i = selectedIndex();
    m_editIndex = i;
    m_document.insertLine(i, text, QStringLiteral("行の挿入"), i);
    m_list->setFocus();
}

} // namespace velkan
