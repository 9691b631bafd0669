#include "form/Playback.h"

#include "form/CommandIds.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "midi/LyricFollow.h"
#include "midi/MidiReader.h"
#include "platform/AppSettings.h"
#include "platform/EventTime.h"
#include "platform/FileDialog.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/MessageBox.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QScopeGuard>

namespace velkan {
namespace {
Playback::SequencerFactory &factory()
{
    static Playback::SequencerFactory f;
    return f;
}
std::function<Playback::TimeSource()> &timeSourceFactory()
{
    static std::function<Playback::TimeSource()> f;
    return f;
}

std::int64_t nanosOf(PeriodicTimer::TimePoint t)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}
PeriodicTimer::TimePoint timePointOf(std::int64_t nanos)
{
    return PeriodicTimer::TimePoint(std::chrono::duration_cast<PeriodicTimer::TimePoint::duration>(
        std::chrono::nanoseconds(nanos)));
}

// The display never wakes the timer more than once a millisecond: a song of
// beats shorter than that (only a hostile file has them) shows every few.
constexpr std::int64_t kShortestWakeNanos = 1'000'000;
} // namespace

void Playback::setSequencerFactory(SequencerFactory f)
{
    factory() = std::move(f);
}

std::unique_ptr<Sequencer> Playback::createSequencer()
{
    return factory() ? factory()() : std::make_unique<FluidSynthSequencer>();
}

void Playback::setTimeSourceFactory(std::function<TimeSource()> f)
{
    timeSourceFactory() = std::move(f);
}

Playback::Playback(VelkanView &view, QObject *parent)
    : QObject(parent), m_view(view),
      m_sequencer(factory() ? factory()() : std::make_unique<FluidSynthSequencer>()),
      m_timer(timeSourceFactory() ? timeSourceFactory()() : nullptr)
{
    // The author's choices from the last run.
    const AppSettings settings;
    m_speedPercent = settings.speedPercent();
    m_grid = settings.stampGrid();
    m_tapOffsetMs = settings.tapOffsetMs();
    m_tapOffsetGiven = settings.hasTapOffset();
    if (m_speedPercent != 100)
        report(m_sequencer->setSpeed(m_speedPercent / 100.0));
    connect(m_view.action(cmd::MidiLoad), &QAction::triggered, this, &Playback::midiLoad);
    connect(m_view.action(cmd::Start), &QAction::triggered, this, &Playback::start);
    connect(m_view.action(cmd::Pause), &QAction::triggered, this, &Playback::pause);
    connect(m_view.action(cmd::End), &QAction::triggered, this, &Playback::end);
    connect(m_view.listView(), &ScriptListView::keyPressed, this,
            [this](int key, int caret, quint64 timestampMs, bool *handled) {
                if (key == Qt::Key_Space)
                    *handled = lyricFollow(caret, pressTime(timestampMs, m_timer.now()));
            });
}

Playback::~Playback()
{
    // No tick may reach a form that is going away.
    stopTimer();
    if (m_sequencer->isOpen())
        m_sequencer->close();
}

BarBeat Playback::beat() const
{
    std::lock_guard lock(m_clockMutex);
    const BeatPlace b = m_clock.beatAt(nanosOf(m_timer.now()));
    return {b.bar, b.beat};
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
    emit thumbMoved(position, true);
}

void Playback::showBarAndBeat(const BarBeat &b)
{
    emit barShown(b.bar);
    emit beatShown(b.beat);
}

// Runs the clock from `fromTick` as of now and wakes the timer at the next beat.
bool Playback::runClockFrom(std::int64_t fromTick)
{
    PeriodicTimer::TimePoint first;
    {
        std::lock_guard lock(m_clockMutex);
        m_clock.runFrom(fromTick, nanosOf(m_timer.now()), m_songLength.load(),
                        m_speedPercent / 100.0);
        m_nextBeatTick = m_timeline ? m_timeline->beatAt(fromTick).endTick : fromTick;
        first = timePointOf(m_clock.nanosOf(m_nextBeatTick));
    }
    const bool ok = m_timer.startScheduled(first, [this] { return tick(); });
    m_acceptedGeneration = ok ? m_timer.generation() : 0;
    return ok;
}

// Updates a tick posted just before a stop still show what the clock really
// counted; only those of a timer since started anew are dropped.
void Playback::stopTimer()
{
    m_timer.stop();
}

// Stops the clock where the song was at `nanos` (the timer already stopped).
// The boxes then show that beat even when its tick was still on the way: they
// show what a tap would stamp, and updates still queued, all older, are dropped.
void Playback::holdClockAt(std::int64_t nanos)
{
    m_acceptedGeneration = 0;
    BeatPlace held;
    {
        std::lock_guard lock(m_clockMutex);
        m_clock.holdAt(nanos);
        held = m_clock.beatAt(nanos);
    }
    showBarAndBeat({held.bar, held.beat});
}

void Playback::endPerformance()
{
    const std::int64_t at = nanosOf(m_timer.now());
    // The timer first: a song-end tick cannot then change the flag under us.
    stopTimer();
    if (!m_performing)
        return;
    report(m_sequencer->stop());
    holdClockAt(at);
    m_performing = false;
    emit performanceEnded();
}

void Playback::midiLoad()
{
    const QString path = FileDialog::getOpenFileName(
        &m_view, {QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")});
    if (!path.isEmpty())
        loadSong(path);
}

void Playback::loadSong(const QString &path)
{
    if (!m_view.confirmDiscard())
        return;

    // The new song is read and tried on the device before anything of the
    // old one goes: a file that is not a song changes nothing.
    const std::string file = QFile::encodeName(path).toStdString();
    std::string image;
    MidiReadResult read = readMidiFile(file, &image);
    if (!read.ok()) {
        const std::string_view message = midiReadMessage(read.status);
        MessageBox::show(&m_view,
                         QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
        return;
    }
    SeqResult opened;
    {
        // The first check loads the SoundFont, which can take a few seconds.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        opened = m_sequencer->check(file);
        if (opened) {
            endPerformance();
            if (m_sequencer->isOpen())
                report(m_sequencer->close());
            opened = m_sequencer->open(file);
        }
    }
    if (!opened) {
        report(opened);
        if (!m_sequencer->isOpen()) {
            // Checked, yet the device would not open it: the old song is gone.
            {
                std::lock_guard lock(m_clockMutex);
                m_clock.setTimeline(nullptr);
            }
            m_timeline = nullptr;
            m_playerSong = nullptr;
            m_songPath.clear();
            emit songChanged(m_songPath);
        }
        return;
    }

    // The reader's lines are the song's, not the author's work: they count as saved.
    m_view.document().assign(std::move(read.lines), QStringLiteral("MIDI読込"), true);
    m_timeline =
        read.timeline ? std::make_shared<const SongTimeline>(std::move(*read.timeline)) : nullptr;
    m_playerSong = m_timeline ? playerSongOf(image, m_timeline) : nullptr;
    m_songPath = path;
    emit songChanged(m_songPath);

    const SeqValue length = m_sequencer->lengthSixteenths();
    if (!length)
        MessageBox::show(&m_view, QString::fromStdString(length.error));
    m_songLength = length ? length.value : 0;
    m_currentPosition = 0;
    emit songLengthChanged(m_songLength);
    setThumb(0);

    // The clock stands at the song's end; the count is the bar that holds it.
    // The previous song's bar, beat and dragged bar go with it.
    std::int32_t completed;
    {
        std::lock_guard lock(m_clockMutex);
        m_clock.setTimeline(m_timeline);
        completed = m_clock.locate(m_timeline ? m_timeline->tickOfSixteenth(m_songLength) : 0);
    }
    emit barCountChanged(completed + 1);
    emit barShown(kCleared);
    emit beatShown(kCleared);
    emit draggedBarShown(kCleared);
}

void Playback::start()
{
    if (!m_sequencer->isOpen() || !m_timeline)
        return;
    emit starting();
    // The timer first: a song-end tick cannot then end the performance between
    // the check and the restart.
    stopTimer();
    BarBeat shown;
    if (!m_performing) {
        setThumb(0);
        m_currentPosition = 0;
        m_performing = true;
        {
            std::lock_guard lock(m_clockMutex);
            m_clock.locate(0);
            const BeatPlace b = m_timeline->beatAt(0);
            shown = {b.bar, b.beat};
        }
        report(m_sequencer->playFrom(0));
        if (!runClockFrom(0))
            MessageBox::show(&m_view, QStringLiteral("Timer Err0"));
        showBarAndBeat(shown);
    } else {
        playFromPosition(readPosition());
    }
}

// Plays on from the beat that holds a sequencer position (a resume, a start
// from a line).
void Playback::playFromPosition(std::int32_t p)
{
    m_currentPosition = p;
    const ResumePlan plan = resumePlan(*m_timeline, p);
    BarBeat shown;
    {
        std::lock_guard lock(m_clockMutex);
        m_clock.locate(plan.startTick);
        const BeatPlace b = m_timeline->beatAt(plan.startTick);
        shown = {b.bar, b.beat};
    }
    setThumb(p);
    m_currentPosition = plan.seekPosition;
    report(m_sequencer->seek(plan.seekPosition));
    report(m_sequencer->play());
    if (!runClockFrom(plan.startTick))
        MessageBox::show(&m_view, QStringLiteral("Timer Err0"));
    showBarAndBeat(shown);
}

void Playback::startFrom(std::int64_t tick)
{
    if (!m_sequencer->isOpen() || !m_timeline)
        return;
    // The same point of the bar `preRoll` bars earlier; before bar 1, the top.
    const BarPlace at = m_timeline->barAt(std::max<std::int64_t>(tick, 0));
    const std::int32_t fromBar = at.bar - AppSettings().preRollBars();
    std::int64_t from = 0;
    if (fromBar >= 1) {
        const std::int64_t start = m_timeline->barStart(fromBar);
        const BarPlace bar = m_timeline->barAt(start);
        from = start + std::min(std::max<std::int64_t>(tick, 0) - at.startTick, bar.ticks - 1);
    }
    emit starting();
    stopTimer();
    if (m_performing)
        report(m_sequencer->stop());
    m_performing = true;
    playFromPosition(m_timeline->sixteenthOf(from));
}

void Playback::setSpeedPercent(int percent)
{
    const int step = AppSettings::speedPercentStep;
    percent = std::clamp(percent, AppSettings::minSpeedPercent, AppSettings::maxSpeedPercent);
    percent = (percent + step / 2) / step * step;
    if (percent == m_speedPercent)
        return;
    m_speedPercent = percent;
    const double speed = percent / 100.0;
    report(m_sequencer->setSpeed(speed));
    const std::int64_t now = nanosOf(m_timer.now());
    // The device may know where in the song it took the speed up, a little
    // before or after now: the clock turns there, as the music does.
    const std::optional<std::int64_t> songNanos = m_sequencer->speedChangeSongNanos();
    const bool running = m_timer.isRunning();
    if (running)
        stopTimer();
    {
        std::lock_guard lock(m_clockMutex);
        if (songNanos)
            m_clock.setSpeedFrom(speed, *songNanos, now);
        else
            m_clock.setSpeed(speed, now);
    }
    // The next beat comes sooner or later now.
    if (running)
        rescheduleTimer();
    AppSettings().setSpeedPercent(percent);
    emit speedChanged(percent);
}

void Playback::rescheduleTimer()
{
    PeriodicTimer::TimePoint next;
    {
        std::lock_guard lock(m_clockMutex);
        if (!m_clock.isRunning() || !m_timeline)
            return;
        // Still the beat the timer waited for: the clock may have turned a
        // little before now, and its beat must neither come twice nor be lost.
        next = timePointOf(m_clock.nanosOf(m_nextBeatTick));
    }
    const bool ok = m_timer.startScheduled(next, [this] { return tick(); });
    m_acceptedGeneration = ok ? m_timer.generation() : 0;
}

void Playback::setStampGrid(StampGrid grid)
{
    m_grid = grid;
    AppSettings().setStampGrid(grid);
    emit stampGridChanged(grid);
}

void Playback::reloadSettings()
{
    const AppSettings settings;
    m_tapOffsetMs = settings.tapOffsetMs();
    m_tapOffsetGiven = settings.hasTapOffset();
    if (settings.stampGrid() != m_grid)
        setStampGrid(settings.stampGrid());
    setSpeedPercent(settings.speedPercent());
}

void Playback::setTapOffsetMs(int ms)
{
    m_tapOffsetMs = std::clamp(ms, AppSettings::minTapOffsetMs, AppSettings::maxTapOffsetMs);
    m_tapOffsetGiven = true;
    AppSettings().setTapOffsetMs(m_tapOffsetMs);
}

std::int64_t Playback::tapLatencyNanos() const
{
    if (!m_tapOffsetGiven)
        return 0;
    return std::int64_t{m_tapOffsetMs} * 1'000'000 + m_sequencer->outputLatencyNanos();
}

void Playback::setTapTaker(std::function<void(const std::string &)> taker)
{
    m_tapTaker = std::move(taker);
}

std::int64_t Playback::nowNanos() const
{
    return nanosOf(m_timer.now());
}

std::int64_t Playback::nanosOfTick(std::int64_t tick) const
{
    std::lock_guard lock(m_clockMutex);
    return m_clock.nanosOf(tick);
}

std::int64_t Playback::pressNanos(quint64 timestampMs) const
{
    return nanosOf(pressTime(timestampMs, m_timer.now()));
}

void Playback::pause()
{
    const std::int64_t at = nanosOf(m_timer.now());
    stopTimer();
    if (!m_performing)
        return;
    report(m_sequencer->stop());
    // While paused the clock stands in the beat it had reached.
    holdClockAt(at);
    m_currentPosition = readPosition();
}

void Playback::end()
{
    endPerformance();
}

// Timer thread, at a beat's start: hand the display to the UI thread and name
// the next beat's start.
std::optional<PeriodicTimer::TimePoint> Playback::tick()
{
    BeatStart started;
    std::optional<PeriodicTimer::TimePoint> next;
    {
        std::lock_guard lock(m_clockMutex);
        if (!m_clock.isRunning() || !m_timeline)
            return std::nullopt;
        started = beatStarting(m_clock, m_nextBeatTick);
        if (started.songEnded) {
            m_clock.locate(m_nextBeatTick);
            m_performing = false;
        } else {
            const std::int64_t soonest = m_clock.nanosOf(m_nextBeatTick) + kShortestWakeNanos;
            std::int64_t following = started.beat.endTick;
            if (m_clock.nanosOf(following) < soonest)
                following =
                    std::max(following, m_timeline->beatAt(m_clock.tickAt(soonest)).endTick);
            m_nextBeatTick = std::min(following, m_clock.endTick());
            next = timePointOf(m_clock.nanosOf(m_nextBeatTick));
        }
    }
    const std::uint64_t generation = m_timer.generation();
    QMetaObject::invokeMethod(
        this, [this, generation, started] { applyTick(generation, started); },
        Qt::QueuedConnection);
    return next;
}

void Playback::applyTick(std::uint64_t generation, const BeatStart &started)
{
    if (generation != m_acceptedGeneration)
        return;
    if (started.barChanged) {
        emit barShown(started.beat.bar);
        m_currentPosition = started.thumbPosition;
        // A held thumb is the author's: the release seeks where it was let go.
        emit thumbMoved(started.thumbPosition, false);
    }
    emit beatShown(started.beat.beat);
    if (started.songEnded) {
        stopTimer(); // the thread has ended itself; this only joins it
        emit performanceEnded();
    }
}

void Playback::dragTo(int position)
{
    if (!m_sequencer->isOpen() || !m_timeline)
        return;
    const std::int64_t tick = m_timeline->tickOfSixteenth(position);
    {
        // A playing clock follows the song; one standing still goes where the
        // thumb is, so that a tap stamps the bar the author looks at.
        std::lock_guard lock(m_clockMutex);
        if (!m_clock.isRunning())
            m_clock.locate(tick);
    }
    emit draggedBarShown(m_timeline->barAt(tick).bar);
}

void Playback::releaseAt(int p)
{
    // The timer first: a song-end tick cannot then turn the jump into a start
    // from the top.
    stopTimer();
    if (!m_performing) {
        setThumb(m_currentPosition);
        return;
    }
    m_currentPosition = p;
    setThumb(p);
    report(m_sequencer->stop());
    report(m_sequencer->seek(p));
    start();
}

void Playback::useTimeline(std::shared_ptr<const SongTimeline> timeline)
{
    m_timeline = std::move(timeline);
}

std::int64_t Playback::songTickNow() const
{
    std::lock_guard lock(m_clockMutex);
    return m_clock.isRunning() ? m_clock.tickAt(nanosOf(m_timer.now())) : m_clock.originTick();
}

bool Playback::lyricFollow(int caretRow, PeriodicTimer::TimePoint pressTime)
{
    // Every space press is lyric follow's: the list's own keyboard search must
    // never move the selection under the author's next tap.
    if (caretRow < 0 || caretRow >= m_view.scriptList().count())
        return true;
    std::optional<std::string> line;
    {
        std::lock_guard lock(m_clockMutex);
        line = tapStamp(m_clock, nanosOf(pressTime), m_grid, tapLatencyNanos());
    }
    if (!line)
        return true; // no song counted yet: nothing to stamp
    if (m_tapTaker) {
        m_tapTaker(*line);
        return true;
    }
    m_view.document().insertLine(caretRow, *line, QStringLiteral("歌詞追い"), caretRow + 2);
    return true;
}

} // namespace velkan
