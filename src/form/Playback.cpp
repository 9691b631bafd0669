#include "form/Playback.h"

#include "form/CommandIds.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "midi/LyricFollow.h"
#include "midi/MidiReader.h"
#include "platform/FileDialog.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MessageBox.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QScopeGuard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>

namespace velkan {
namespace {
Playback::SequencerFactory &factory()
{
    static Playback::SequencerFactory f;
    return f;
}
} // namespace

void Playback::setSequencerFactory(SequencerFactory f)
{
    factory() = std::move(f);
}

Playback::Playback(VelkanView &view, QObject *parent)
    : QObject(parent), m_view(view),
      m_sequencer(factory() ? factory()() : std::make_unique<FluidSynthSequencer>())
{
    QScrollBar *bar = m_view.positionBar();
    // The value changes only when a drag ends; arrows, page clicks, the wheel
    // and keys are turned back in onPositionAction.
    bar->setTracking(false);
    connect(bar, &QAbstractSlider::actionTriggered, this, &Playback::onPositionAction);
    connect(bar, &QAbstractSlider::sliderReleased, this, &Playback::onPositionReleased);
    connect(bar, &QAbstractSlider::sliderMoved, this, &Playback::dragTo);

    m_view.setCommandHandler(cmd::MidiLoad, [this] { midiLoad(); });
    m_view.setCommandHandler(cmd::Start, [this] { start(); });
    m_view.setCommandHandler(cmd::Pause, [this] { pause(); });
    m_view.setCommandHandler(cmd::End, [this] { end(); });
    connect(m_view.listView(), &ScriptListView::keyPressed, this,
            [this](int key, int caret, bool *handled) {
                if (key == Qt::Key_Space)
                    *handled = lyricFollow(caret);
            });
}

Playback::~Playback()
{
    // No tick may reach a form that is going away.
    stopTimer();
    if (m_sequencer->isOpen())
        m_sequencer->close();
}

BeatClock Playback::clock() const
{
    std::lock_guard lock(m_clockMutex);
    return m_clock;
}

void Playback::report(const SeqResult &result)
{
    if (!result)
        MessageBox::show(&m_view, QString::fromStdString(result.error));
}

std::int32_t Playback::readPosition()
{
    const SeqValue p = m_sequencer->positionSixteenths();
    if (!p) {
        MessageBox::show(&m_view, QString::fromStdString(p.error));
        return m_currentPosition;
    }
    return p.value;
}

void Playback::setThumb(int position)
{
    QScrollBar *bar = m_view.positionBar();
    const QSignalBlocker block(bar);
    bar->setValue(position);
    bar->setSliderPosition(position);
}

void Playback::showBarAndBeat(const BarBeat &b)
{
    m_view.barBox()->setText(QString::number(b.bar));
    m_view.beatBox()->setText(QString::number(b.beat));
}

bool Playback::startTimer(std::int64_t periodUs)
{
    const bool ok = m_timer.start(periodUs, [this] { tick(); });
    m_acceptedGeneration = ok ? m_timer.generation() : 0;
    return ok;
}

// Updates a tick posted just before a stop still show what the clock really
// counted; only those of a timer since started anew are dropped.
void Playback::stopTimer()
{
    m_timer.stop();
}

void Playback::endPerformance()
{
    if (!m_performing)
        return;
    report(m_sequencer->stop());
    stopTimer();
    m_performing = false;
}

void Playback::midiLoad()
{
    const QString path = FileDialog::getOpenFileName(
        &m_view, {QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")});
    if (path.isEmpty() || !m_view.confirmDiscard())
        return;
    endPerformance();
    if (m_sequencer->isOpen())
        report(m_sequencer->close());

    ScriptList &list = m_view.scriptList();
    list.clear();
    m_view.setMidiPath(path);

    MidiReadResult read = readMidiFile(path.toStdString());
    if (read.ok()) {
        m_view.mutableSongTiming() = read.timing;
        m_view.setSongLoaded(true);
        list.assign(std::move(read.lines));
    } else {
        MessageBox::show(&m_view, QString::fromUtf8(midiReadMessage(read.status).data(),
                                                    static_cast<qsizetype>(midiReadMessage(read.status).size())));
    }
    // The reader's lines are the song's, not the author's work.
    list.setModified(false);

    SeqResult opened;
    {
        // The first open loads the SoundFont, which can take a few seconds.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        opened = m_sequencer->open(path.toStdString());
    }
    if (!opened) {
        report(opened);
        m_view.window()->setWindowTitle(QStringLiteral("無題"));
        return;
    }
    m_view.window()->setWindowTitle(path);

    const SeqValue length = m_sequencer->lengthSixteenths();
    if (!length)
        MessageBox::show(&m_view, QString::fromStdString(length.error));
    m_songLength = length ? length.value : 0;
    m_currentPosition = 0;
    m_view.positionBar()->setRange(0, m_songLength);
    setThumb(0);

    int completed;
    {
        std::lock_guard lock(m_clockMutex);
        completed = locatePosition(m_clock, m_view.mutableSongTiming(), m_songLength / 4);
        m_beat.publish({m_clock.bar, m_clock.beat});
    }
    m_view.barCountLabel()->setText(QStringLiteral("/%1").arg(completed + 1));
}

void Playback::start()
{
    if (!m_sequencer->isOpen())
        return;
    m_view.listView()->setFocus();
    BarBeat shown;
    if (!m_performing) {
        setThumb(0);
        m_currentPosition = 0;
        m_performing = true;
        std::int64_t period;
        {
            std::lock_guard lock(m_clockMutex);
            period = startFromTop(m_clock, m_view.mutableSongTiming());
            shown = {m_clock.bar, m_clock.beat};
        }
        m_beat.publish(shown);
        report(m_sequencer->playFrom(0));
        if (!startTimer(period))
            MessageBox::show(&m_view, QStringLiteral("Timer Err0"));
    } else {
        stopTimer();
        const std::int32_t p = readPosition();
        m_currentPosition = p;
        ResumePlan plan;
        {
            std::lock_guard lock(m_clockMutex);
            plan = resumeAt(m_clock, m_view.mutableSongTiming(), p);
            shown = {m_clock.bar, m_clock.beat};
        }
        m_beat.publish(shown);
        setThumb(p);
        m_currentPosition = plan.seekPosition;
        report(m_sequencer->seek(plan.seekPosition));
        report(m_sequencer->play());
        if (!startTimer(plan.periodUs))
            MessageBox::show(&m_view, QStringLiteral("Timer Err0"));
    }
    showBarAndBeat(shown);
}

void Playback::pause()
{
    if (!m_performing)
        return;
    report(m_sequencer->stop());
    stopTimer();
    m_currentPosition = readPosition();
}

void Playback::end()
{
    endPerformance();
}

// Timer thread: advance the clock, hand the display to the UI thread.
void Playback::tick()
{
    TickResult r;
    {
        std::lock_guard lock(m_clockMutex);
        r = tickBeatClock(m_clock, m_view.mutableSongTiming(), m_songLength.load());
    }
    m_beat.publish({r.bar, r.beat});
    if (r.songEnded) {
        m_performing = false;
        m_timer.requestStop();
    } else if (r.periodChanged) {
        m_timer.setPeriod(r.newPeriodUs);
    }
    const std::uint64_t generation = m_timer.generation();
    QMetaObject::invokeMethod(
        this, [this, generation, r] { applyTick(generation, r); }, Qt::QueuedConnection);
}

void Playback::applyTick(std::uint64_t generation, const TickResult &r)
{
    if (generation != m_acceptedGeneration)
        return;
    if (r.barChanged) {
        m_view.barBox()->setText(QString::number(r.bar));
        m_currentPosition = r.thumbPosition;
        setThumb(r.thumbPosition);
    }
    m_view.beatBox()->setText(QString::number(r.beat));
    if (r.songEnded)
        stopTimer();  // the thread has ended itself; this only joins it
}

// Only a drag and its release act on the position bar; every other action of
// the bar is turned back.
void Playback::onPositionAction(int action)
{
    QScrollBar *bar = m_view.positionBar();
    if (action == QAbstractSlider::SliderMove && bar->isSliderDown())
        return;
    if (action == QAbstractSlider::SliderNoAction)
        return;
    bar->setSliderPosition(bar->value());
}

void Playback::dragTo(int position)
{
    if (!m_sequencer->isOpen())
        return;
    int completed;
    {
        std::lock_guard lock(m_clockMutex);
        completed = locatePosition(m_clock, m_view.mutableSongTiming(), position / 4);
        m_beat.publish({m_clock.bar, m_clock.beat});
    }
    m_view.dragBarLabel()->setText(QString::number(completed + 1));
}

void Playback::onPositionReleased()
{
    QScrollBar *bar = m_view.positionBar();
    const int p = bar->sliderPosition();
    if (!m_performing) {
        setThumb(m_currentPosition);
        return;
    }
    stopTimer();
    m_currentPosition = p;
    setThumb(p);
    report(m_sequencer->stop());
    report(m_sequencer->seek(p));
    start();
}

bool Playback::lyricFollow(int caretRow)
{
    ScriptList &list = m_view.scriptList();
    if (caretRow < 0 || caretRow >= list.count())
        return false;
    const auto line = lyricFollowLine(m_beat.read());
    if (!line)
        return true;  // no song counted yet: nothing to stamp
    list.insert(caretRow, *line);
    m_view.selectLine(caretRow + 2);
    return true;
}

} // namespace velkan
