#include "aids/LyricRevealDialog.h"

#include "aids/core/RevealTiming.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListModel.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "midi/BarMath.h"
#include "platform/DialogTemplate.h"
#include "platform/DialogUnits.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/MessageBox.h"
#include "platform/ShiftJisCodec.h"
#include "platform/TypedLine.h"

#include <QAction>
#include <QButtonGroup>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <algorithm>

namespace velkan {
namespace {

const QString kSessionName = QStringLiteral("歌詞の出現/消去方法");

using Kind = ControlKind;
using D = LyricRevealDialog;

// The dialog's template, in dialog units. The line list and the two timing
// lists are made by the dialog itself.
constexpr DialogControl kControls[] = {
    {0, Kind::Static, u"マウスクリックで範囲を指定して下さい", 7, 10, 129, 8, "instructionLabel"},
    {0, Kind::Group, u"歌詞の出し方", 144, 32, 144, 104, "appearGroup"},
    {D::AppearAllAtOnce, Kind::Radio, u"全体を一気に", 148, 64, 54, 12, "appearAllAtOnce"},
    {D::AppearLineByLine, Kind::Radio, u"一行づつ順に", 148, 76, 54, 12, "appearLineByLine"},
    {D::AppearCharByChar, Kind::Radio, u"一文字づつ順に", 148, 88, 59, 12, "appearCharByChar"},
    {0, Kind::Static, u"タイミング", 216, 56, 28, 8, "appearTimingLabel"},
    {D::AppearTimingButton, Kind::Button, u"選択", 248, 54, 35, 11, "appearTimingButton"},
    {0, Kind::Static, u"開始", 148, 108, 16, 8, "appearStartLabel"},
    {D::AppearStartEdit, Kind::Edit, u"", 164, 104, 64, 12, "appearStartEdit"},
    {0, Kind::Static, u"終了", 148, 122, 16, 8, "appearEndLabel"},
    {D::AppearEndEdit, Kind::ReadOnlyEdit, u"", 164, 120, 64, 12, "appearEndEdit"},
    {D::AppearConfirmButton, Kind::Button, u"確定", 252, 112, 32, 16, "appearConfirmButton"},
    {0, Kind::Group, u"歌詞の消し方", 144, 156, 147, 100, "eraseGroup"},
    {D::EraseAllAtOnce, Kind::Radio, u"全体を一気に", 148, 184, 55, 12, "eraseAllAtOnce"},
    {D::EraseLineByLine, Kind::Radio, u"一行づつ順に", 148, 196, 62, 12, "eraseLineByLine"},
    {D::EraseCharByChar, Kind::Radio, u"一文字づつ順に", 148, 208, 62, 12, "eraseCharByChar"},
    {0, Kind::Static, u"タイミング", 220, 176, 28, 8, "eraseTimingLabel"},
    {D::EraseTimingButton, Kind::Button, u"選択", 252, 174, 33, 11, "eraseTimingButton"},
    {0, Kind::Static, u"開始", 148, 226, 16, 8, "eraseStartLabel"},
    {D::EraseStartEdit, Kind::Edit, u"", 164, 224, 64, 12, "eraseStartEdit"},
    {0, Kind::Static, u"終了", 148, 242, 16, 8, "eraseEndLabel"},
    {D::EraseEndEdit, Kind::ReadOnlyEdit, u"", 164, 240, 64, 12, "eraseEndEdit"},
    {D::EraseConfirmButton, Kind::Button, u"確定", 252, 232, 32, 16, "eraseConfirmButton"},
    {D::ClearRangeButton, Kind::Button, u"範囲指定解除", 151, 260, 58, 16, "clearRangeButton"},
    {D::DeleteRangeButton, Kind::Button, u"指定範囲削除", 228, 260, 55, 16, "deleteRangeButton"},
    {D::LineList, Kind::Custom, u"", 7, 21, 129, 257, "lineList"},
    {D::AppearTimingList, Kind::Custom, u"", 218, 68, 66, 36, "appearTimingList"},
    {D::EraseTimingList, Kind::Custom, u"", 220, 188, 67, 36, "eraseTimingList"},
};

constexpr int kDialogWidthDu = 298;
constexpr int kDialogHeightDu = 284;

// Rule of the resized dialog, in pixels of its client area.
constexpr int kListLeft = 12;
constexpr int kListTop = 30;
constexpr int kListBottomGap = 35;

} // namespace

LyricRevealDialog::LyricRevealDialog(VelkanView &view, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_view(view)
{
    setObjectName(QStringLiteral("lyricRevealDialog"));
    setWindowTitle(QStringLiteral("歌詞出現消去ﾀﾞｲｱﾛｸﾞ"));
    HelpWindow::addHelpKey(this, QStringLiteral("reveal"));
    // The font first: every place below is reckoned from it.
    setFont(Fonts::formFont());
    m_lines.assign(m_view.scriptList().lines());
    buildControls();
    setAppearMethod(RevealMethod::AllAtOnce);
    setEraseMethod(RevealMethod::AllAtOnce);
}

LyricRevealDialog::~LyricRevealDialog()
{
    // The view goes before the model it shows, and the model before the list it observes.
    delete m_lineList;
    delete m_model;
}

void LyricRevealDialog::buildControls()
{
    const DialogUnits du(font());
    resize(du.size(kDialogWidthDu, kDialogHeightDu));

    const auto makeCustom = [this](const DialogControl &ctl, QWidget *parent) -> QWidget * {
        switch (ctl.id) {
        case LineList:
            m_model = new ScriptListModel(&m_lines);
            m_lineList = new QListView(parent);
            m_lineList->setModel(m_model);
            m_lineList->setSelectionMode(QAbstractItemView::ExtendedSelection);
            m_lineList->setUniformItemSizes(true);
            m_lineList->setEditTriggers(QAbstractItemView::NoEditTriggers);
            m_lineList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            m_lineList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            m_lineList->setTextElideMode(Qt::ElideNone);
            m_lineList->setWordWrap(false);
            return m_lineList;
        case AppearTimingList:
            return m_appearTiming = makeTimingList();
        case EraseTimingList:
            return m_eraseTiming = makeTimingList();
        }
        return nullptr;
    };
    m_appearGroup = new QButtonGroup(this);
    m_eraseGroup = new QButtonGroup(this);
    const DialogControls controls = buildDialogTemplate(this, du, kControls, makeCustom);
    m_controls = controls.byId();
    // The frames stay behind the controls drawn over them.
    for (QWidget *g : controls.ofKind(Kind::Group))
        g->lower();

    connect(m_lineList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { userSelectionChanged(); });

    m_appearStart = controls.widget<QLineEdit>(AppearStartEdit);
    m_appearEnd = controls.widget<QLineEdit>(AppearEndEdit);
    m_eraseStart = controls.widget<QLineEdit>(EraseStartEdit);
    m_eraseEnd = controls.widget<QLineEdit>(EraseEndEdit);

    for (const auto &[ctl, w] : controls) {
        if (ctl.kind == Kind::Radio) {
            const bool appear = ctl.id <= AppearCharByChar;
            (appear ? m_appearGroup : m_eraseGroup)
                ->addButton(static_cast<QRadioButton *>(w), ctl.id);
        }
    }
    connect(m_appearGroup, &QButtonGroup::idClicked, this, [this](int id) {
        setAppearMethod(static_cast<RevealMethod>(id - AppearAllAtOnce + 1));
    });
    connect(m_eraseGroup, &QButtonGroup::idClicked, this,
            [this](int id) { setEraseMethod(static_cast<RevealMethod>(id - EraseAllAtOnce + 1)); });
    const std::pair<int, void (LyricRevealDialog::*)()> buttons[] = {
        {AppearTimingButton, &LyricRevealDialog::appearTiming},
        {EraseTimingButton, &LyricRevealDialog::eraseTiming},
        {AppearConfirmButton, &LyricRevealDialog::confirmAppear},
        {EraseConfirmButton, &LyricRevealDialog::confirmErase},
        {DeleteRangeButton, &LyricRevealDialog::deleteRange},
        {ClearRangeButton, &LyricRevealDialog::clearRange},
    };
    // The template's buttons are not auto-default: Enter in a start edit
    // must not write a block.
    for (const auto &[id, slot] : buttons)
        connect(controls.widget<QPushButton>(id), &QPushButton::clicked, this, slot);
}

QListWidget *LyricRevealDialog::makeTimingList()
{
    auto *list = new QListWidget(this);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setUniformItemSizes(true);
    for (const RevealTimingChoice &choice : revealTimingChoices())
        list->addItem(QString::fromUtf8(choice.label.data(), qsizetype(choice.label.size())));
    list->setCurrentRow(0);
    // A single-choice list keeps one entry chosen: a Ctrl+click must not leave none.
    connect(list, &QListWidget::itemSelectionChanged, list, [list] {
        if (list->selectedItems().isEmpty())
            list->setCurrentRow(std::max(list->currentRow(), 0), QItemSelectionModel::Select);
    });
    return list;
}

QWidget *LyricRevealDialog::control(int id) const
{
    const auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

void LyricRevealDialog::setAppearMethod(RevealMethod method)
{
    m_appearMethod = method;
    m_appearGroup->button(AppearAllAtOnce + static_cast<int>(method) - 1)->setChecked(true);
}

void LyricRevealDialog::setEraseMethod(RevealMethod method)
{
    m_eraseMethod = method;
    m_eraseGroup->button(EraseAllAtOnce + static_cast<int>(method) - 1)->setChecked(true);
}

std::vector<int> LyricRevealDialog::selectedIndexes() const
{
    std::vector<int> rows;
    for (const QItemSelectionRange &range : m_lineList->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    // The ranges come in the order they were made and may touch or overlap.
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::optional<std::string> LyricRevealDialog::editBytes(QLineEdit *edit)
{
    // The start edit becomes a line of its own and the end edit the tail of
    // the end marker's.
    return typedScriptLine(this, edit->text(),
                           QStringLiteral("「%1」はShift-JISで表せない文字のため、使えません。"));
}

void LyricRevealDialog::appearTiming()
{
    timing(true);
}

void LyricRevealDialog::eraseTiming()
{
    timing(false);
}

void LyricRevealDialog::timing(bool appear)
{
    QLineEdit *startEdit = appear ? m_appearStart : m_eraseStart;
    QLineEdit *endEdit = appear ? m_appearEnd : m_eraseEnd;
    const auto start = editBytes(startEdit);
    if (!start)
        return;
    const auto end = editBytes(endEdit);
    if (!end)
        return;
    const std::vector<int> indexes = selectedIndexes();
    const auto selection = selectedLines(m_lines.lines(), indexes);
    const BarMath bars(m_view.playback()->timeline());
    const RevealEdits edits{*start, *end};
    const RevealTimingResult result =
        appear ? velkan::appearTiming(selection, edits, m_appearMethod,
                                      m_appearTiming->currentRow(), m_working, bars)
               : velkan::eraseTiming(selection, edits, m_eraseMethod, m_eraseTiming->currentRow(),
                                     m_working, bars);
    if (!result.changed)
        return;
    m_working = result.working;
    startEdit->setText(ShiftJis::decode(result.edits.start));
    endEdit->setText(ShiftJis::decode(result.edits.end));
}

void LyricRevealDialog::confirmAppear()
{
    const std::vector<int> indexes = selectedIndexes();
    const auto at = appearInsertionIndex(indexes);
    if (!at)
        return;
    const auto start = editBytes(m_appearStart);
    const auto end = start ? editBytes(m_appearEnd) : std::nullopt;
    if (!end)
        return;
    insertBlock(*at, appearBlock(selectedLines(m_lines.lines(), indexes), m_appearMethod,
                                 m_appearTiming->currentRow(), *start, *end));
}

void LyricRevealDialog::confirmErase()
{
    const std::vector<int> indexes = selectedIndexes();
    const auto at = eraseInsertionIndex(indexes);
    if (!at)
        return;
    const auto start = editBytes(m_eraseStart);
    const auto end = start ? editBytes(m_eraseEnd) : std::nullopt;
    if (!end)
        return;
    insertBlock(*at, eraseBlock(selectedLines(m_lines.lines(), indexes), m_eraseMethod,
                                m_eraseTiming->currentRow(), *start, *end));
}

void LyricRevealDialog::insertBlock(int index, std::vector<ScriptLine> block)
{
    if (block.empty())
        return;
    m_ownChange = true;
    m_lines.insertRange(index, block);
    m_ownChange = false;
    m_view.document().insertLines(index, std::move(block), kSessionName);
}

void LyricRevealDialog::deleteRange()
{
    removeRuns(selectedIndexes());
}

void LyricRevealDialog::removeRuns(const std::vector<int> &ascending)
{
    if (ascending.empty())
        return;
    ScriptDocument &main = m_view.document();
    QItemSelectionModel *mainSelection =
        m_view.listView() ? m_view.listView()->selectionModel() : nullptr;
    const int mainSelected = m_view.selectedIndex();
    int mainSelectedAfter = mainSelected;

    // From the last run to the first, so the indexes still to come stay valid.
    auto runEnd = ascending.end();
    while (runEnd != ascending.begin()) {
        auto runBegin = std::prev(runEnd);
        while (runBegin != ascending.begin() && *std::prev(runBegin) + 1 == *runBegin)
            --runBegin;
        const int first = *runBegin;
        const int count = static_cast<int>(runEnd - runBegin);
        m_ownChange = true;
        m_lines.removeRange(first, count);
        m_ownChange = false;
        main.removeLines(first, count, kSessionName, ScriptDocument::kKeepSelection);
        if (mainSelectedAfter >= first + count)
            mainSelectedAfter -= count;
        else if (mainSelectedAfter >= first)
            mainSelectedAfter = -1;
        runEnd = runBegin;
    }

    // A single-selection view picks a neighbour when its selected line goes;
    // the main form's selected line should simply be gone with it.
    if (mainSelection && mainSelected >= 0 && m_view.selectedIndex() != mainSelectedAfter) {
        if (mainSelectedAfter < 0)
            mainSelection->clear();
        else
            m_view.selectLine(mainSelectedAfter);
    }
}

void LyricRevealDialog::clearRange()
{
    const std::vector<int> indexes = selectedIndexes();
    if (indexes.empty())
        return;
    QAbstractItemModel *model = m_lineList->model();
    m_ownChange = true;
    m_lineList->selectionModel()->select(
        QItemSelection(model->index(indexes.front(), 0), model->index(indexes.back(), 0)),
        QItemSelectionModel::Deselect);
    m_ownChange = false;
}

void LyricRevealDialog::userSelectionChanged()
{
    if (m_ownChange)
        return;
    for (QLineEdit *edit : {m_appearStart, m_appearEnd, m_eraseStart, m_eraseEnd})
        edit->clear();
}

void LyricRevealDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The first layout is the template's; only a real change of size moves the list.
    if (!m_lineList || !event->oldSize().isValid() || event->oldSize() == event->size())
        return;
    m_lineList->setGeometry(kListLeft, kListTop, m_lineList->width(),
                            std::max(0, height() - kListBottomGap));
}

void installLyricRevealCommand(VelkanView &view)
{
    QObject::connect(view.action(cmd::LyricReveal), &QAction::triggered, &view, [&view] {
        // Whatever the dialog writes into the script while open is one step.
        const ScriptDocument::Session session(view.document(), kSessionName);
        LyricRevealDialog dialog(view, &view);
        dialog.exec();
    });
}

} // namespace velkan
