#include "form/TappingAids.h"

#include "document/ScriptDocument.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "midi/BarMath.h"
#include "midi/WaitLine.h"
#include "platform/AppSettings.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QSignalBlocker>
#include <QSpinBox>

namespace velkan {

namespace {

const QString kRetapStep = QStringLiteral("範囲の再タップ");
const QString kNudgeStep = QStringLiteral("タイミングの微調整");
const QString kNoSong = QStringLiteral("先にMIDIﾌｧｲﾙを読み込んでください");

struct GridChoice {
    int id;
    StampGrid grid;
    const char *objectName;
    const char16_t *text;
};
constexpr GridChoice kGridChoices[] = {
    {cmd::GridQuarter, StampGrid::Quarter, "actionGridQuarter", u"4分音符(&4)"},
    {cmd::GridEighth, StampGrid::Eighth, "actionGridEighth", u"8分音符(&8)"},
    {cmd::GridSixteenth, StampGrid::Sixteenth, "actionGridSixteenth", u"16分音符(&6)"},
    {cmd::GridStep, StampGrid::Step, "actionGridStep", u"ステップ (1/48)(&T)"},
};

} // namespace

TappingAids::TappingAids(VelkanView &view) : QObject(&view), m_view(view)
{
    Playback &playback = *view.playback();
    const auto on = [this](QAction *a, auto slot) { connect(a, &QAction::triggered, this, slot); };

    on(add(cmd::StartFromLine, "actionStartFromLine", QStringLiteral("選択行から開始(&F)"),
           QKeySequence(Qt::Key_F5), QStringLiteral("選択行のタイミングの少し前から演奏")),
       [this] { startFromLine(); });
    on(add(cmd::RetapRange, "actionRetapRange", QStringLiteral("範囲を再タップ(&R)"),
           QKeySequence(Qt::Key_F6), QStringLiteral("選んだ範囲の行のタイミングを付け直す")),
       [this] { startRetap(); });
    on(add(cmd::Slower, "actionSlower", QStringLiteral("遅く(&-)"), QKeySequence(Qt::Key_F7),
           QStringLiteral("再生速度を5%下げる")),
       [this, &playback] { playback.setSpeedPercent(playback.speedPercent() - 5); });
    on(add(cmd::Faster, "actionFaster", QStringLiteral("速く(&+)"), QKeySequence(Qt::Key_F8),
           QStringLiteral("再生速度を5%上げる")),
       [this, &playback] { playback.setSpeedPercent(playback.speedPercent() + 5); });
    on(add(cmd::NudgeEarlier, "actionNudgeEarlier", QStringLiteral("タイミングを早める(&A)"),
           QKeySequence(Qt::ALT | Qt::Key_Up),
           QStringLiteral("選択した@WAIT行を刻みの単位ひとつ前へ")),
       [this] { nudge(-1); });
    on(add(cmd::NudgeLater, "actionNudgeLater", QStringLiteral("タイミングを遅らせる(&L)"),
           QKeySequence(Qt::ALT | Qt::Key_Down),
           QStringLiteral("選択した@WAIT行を刻みの単位ひとつ後へ")),
       [this] { nudge(1); });

    m_grids = new QActionGroup(this);
    for (const GridChoice &g : kGridChoices) {
        QAction *a = add(g.id, g.objectName, QString::fromUtf16(g.text), {},
                         QStringLiteral("歌詞追いで記録する単位"));
        a->setCheckable(true);
        m_grids->addAction(a);
        const StampGrid grid = g.grid;
        on(a, [&playback, grid] { playback.setStampGrid(grid); });
    }
    showGrid();
    connect(&playback, &Playback::stampGridChanged, this, [this] { showGrid(); });

    // The speed box and the speed itself follow each other.
    QSpinBox *box = view.speedBox();
    box->setValue(playback.speedPercent());
    connect(box, &QSpinBox::valueChanged, &playback, &Playback::setSpeedPercent);
    connect(&playback, &Playback::speedChanged, box, [box](int percent) {
        const QSignalBlocker quiet(box);
        box->setValue(percent);
    });

    // A take ends with Esc, 終了, or the performance's end.
    connect(view.listView(), &ScriptListView::keyPressed, this,
            [this](int key, int, quint64, bool *handled) {
                if (key == Qt::Key_Escape && isRetapping()) {
                    m_view.playback()->end();
                    endRetap();
                    *handled = true;
                }
            });
    connect(view.action(cmd::End), &QAction::triggered, this, [this] { endRetap(); });
    connect(&playback, &Playback::performanceEnded, this, [this] { endRetap(); });
}

TappingAids::~TappingAids()
{
    endRetap();
}

QAction *TappingAids::add(int id, const char *objectName, const QString &text,
                          const QKeySequence &key, const QString &tip)
{
    auto *a = new QAction(text, &m_view);
    a->setObjectName(QString::fromLatin1(objectName));
    a->setData(id);
    a->setStatusTip(tip);
    if (!key.isEmpty()) {
        a->setShortcut(key);
        a->setShortcutContext(Qt::WindowShortcut);
    }
    m_view.addAction(a);
    m_actions[id] = a;
    return a;
}

QAction *TappingAids::action(int id) const
{
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void TappingAids::showGrid()
{
    const StampGrid grid = m_view.playback()->stampGrid();
    for (const GridChoice &g : kGridChoices) {
        if (g.grid == grid)
            action(g.id)->setChecked(true);
    }
}

std::optional<std::int64_t> TappingAids::timingTickOf(const ScriptList &lines, int row,
                                                      const SongTimeline &song)
{
    for (int i = std::min(row, lines.count() - 1); i >= 0; --i) {
        if (isWaitLine(lines.at(i)))
            return song.tickOf(readWaitPosition(lines.at(i)));
    }
    return std::nullopt;
}

void TappingAids::startFromLine()
{
    Playback &playback = *m_view.playback();
    const SongTimeline *song = playback.timeline();
    if (!playback.isSongOpen() || !song) {
        MessageBox::show(&m_view, kNoSong);
        return;
    }
    const int row = m_view.selectedIndex();
    const std::optional<std::int64_t> tick =
        row < 0 ? std::nullopt : timingTickOf(m_view.scriptList(), row, *song);
    // No timing above: from the top, as 開始 does.
    playback.startFrom(tick.value_or(0));
    if (row >= 0)
        m_view.selectLine(row);
}

void TappingAids::startRetap()
{
    Playback &playback = *m_view.playback();
    const SongTimeline *song = playback.timeline();
    if (!playback.isSongOpen() || !song) {
        MessageBox::show(&m_view, kNoSong);
        return;
    }
    const std::optional<std::pair<int, int>> range = m_view.listView()->selectedRange();
    if (!range || isRetapping() || m_view.document().inSession())
        return;
    const ScriptList &lines = m_view.scriptList();
    // From the range's first @WAIT line, or the nearest one above it.
    std::optional<std::int64_t> from;
    for (int i = range->first; i <= range->second && !from; ++i) {
        if (isWaitLine(lines.at(i)))
            from = song->tickOf(readWaitPosition(lines.at(i)));
    }
    if (!from)
        from = timingTickOf(lines, range->first, *song);

    m_take.emplace(static_cast<std::size_t>(range->first), static_cast<std::size_t>(range->second));
    m_view.document().beginSession(kRetapStep);
    playback.setTapTaker([this](const std::string &stamp) { take(stamp); });
    playback.startFrom(from.value_or(0));
    m_view.selectLine(range->first);
}

void TappingAids::take(const std::string &stamp)
{
    if (!m_take)
        return;
    const ScriptList &list = m_view.scriptList();
    std::vector<std::string_view> lines;
    lines.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i)
        lines.push_back(list.at(i));
    const std::optional<RetapEdit> edit = m_take->tap(lines, stamp);
    if (!edit)
        return; // the range is used up
    const int at = static_cast<int>(edit->index);
    ScriptDocument &document = m_view.document();
    if (edit->kind == RetapEdit::Kind::Replace)
        document.replaceLine(at, edit->line, kRetapStep, ScriptDocument::kKeepSelection);
    else
        document.insertLine(at, edit->line, kRetapStep, ScriptDocument::kKeepSelection);
    // The caret goes on to the line the next tap looks from.
    if (m_take->nextLine() <= m_take->last())
        m_view.selectLine(static_cast<int>(m_take->nextLine()));
}

void TappingAids::endRetap()
{
    if (!m_take)
        return;
    m_take.reset();
    m_view.playback()->setTapTaker({});
    m_view.document().endSession();
}

void TappingAids::nudge(int direction)
{
    if (isRetapping())
        return;
    const int row = m_view.selectedIndex();
    if (row < 0 || !isWaitLine(m_view.scriptList().at(row))) {
        QApplication::beep();
        return;
    }
    const std::string_view line = m_view.scriptList().at(row);
    const BarMath bars(m_view.playback()->timeline());
    const MusicalPosition from = readWaitPosition(line);
    const MusicalPosition to = nudged(from, direction, m_view.playback()->stampGrid(), bars);
    m_view.document().replaceLine(row, rewrittenWaitLine(line, to), kNudgeStep, row);
}

} // namespace velkan
