#include "document/ScriptReading.h"

#include "document/ScriptDocument.h"

#include <QMetaObject>

namespace velkan {

std::shared_ptr<const PlayerSong> playerSongOf(std::string_view smfImage,
                                               std::shared_ptr<const SongTimeline> timeline)
{
    auto song = std::make_shared<PlayerSong>();
    song->timeline = std::move(timeline);
    song->endTick = playerSongEndTick(smfImage);
    song->signatures = playerTimeSignatures(smfImage);
    return song;
}

ScriptReading::ScriptReading(const ScriptDocument &document, QObject *parent)
    : QObject(parent), m_document(document)
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMillis);
    connect(&m_gather, &QTimer::timeout, this, &ScriptReading::start);
    m_worker = std::jthread([this](std::stop_token stop) { work(stop); });
    m_document.list().addObserver(this);
}

ScriptReading::~ScriptReading()
{
    m_document.list().removeObserver(this);
    ++m_generation; // whatever is on its way is dropped
    m_worker.request_stop();
    m_wake.notify_all();
    m_worker.join();
    // A result posted before the join is dropped with this object's events.
}

void ScriptReading::want()
{
    if (m_wanted++ == 0)
        refresh();
}

void ScriptReading::unwant()
{
    if (m_wanted > 0 && --m_wanted == 0)
        m_gather.stop();
}

void ScriptReading::setSong(std::shared_ptr<const PlayerSong> song)
{
    m_song = std::move(song);
    refresh();
}

void ScriptReading::refresh()
{
    if (m_wanted == 0)
        return;
    m_pending = true;
    ++m_generation;
    m_gather.start();
}

void ScriptReading::schedule()
{
    refresh();
}

void ScriptReading::start()
{
    if (m_wanted == 0)
        return;
    auto lines = std::make_shared<Lines>();
    const ScriptList &list = m_document.list();
    std::size_t total = 0;
    for (int i = 0; i < list.count(); ++i)
        total += list.at(i).size();
    lines->bytes.reserve(total);
    lines->ends.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i) {
        lines->bytes.append(list.at(i));
        lines->ends.push_back(lines->bytes.size());
    }
    {
        std::lock_guard lock(m_mutex);
        m_job = Job{std::move(lines), m_song, ++m_generation};
    }
    m_wake.notify_one();
}

// The worker thread: one job at a time, the newest one.
void ScriptReading::work(std::stop_token stop)
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            if (!m_wake.wait(lock, stop, [this] { return m_job.has_value(); }))
                return;
            job = std::move(*m_job);
            m_job.reset();
        }
        if (m_generation.load() != job.generation)
            continue; // an edit came after; its own job follows

        std::vector<std::string_view> views;
        views.reserve(job.lines->ends.size());
        std::size_t from = 0;
        for (const std::size_t end : job.lines->ends) {
            views.emplace_back(job.lines->bytes.data() + from, end - from);
            from = end;
        }
        const PlayerSong *song = job.song.get();
        const SongTimeline *timeline = song ? song->timeline.get() : nullptr;
        const std::int64_t songEnd = song ? song->endTick : 0;
        const std::vector<TimeSignatureEvent> *signatures =
            song && timeline ? &song->signatures : nullptr;
        auto reading = std::make_shared<const PlayerReading>(
            readAsPlayer(views, timeline, songEnd, signatures));
        auto result = std::make_shared<ScriptReadingResult>();
        result->screens = std::make_shared<const PlayerScreenTimeline>(std::move(reading));
        result->findings = checkScript(views, timeline, songEnd, signatures);
        result->lineCount = static_cast<int>(views.size());
        if (m_generation.load() != job.generation)
            continue;
        {
            std::lock_guard lock(m_mutex);
            m_result = std::move(result);
            m_resultGeneration = job.generation;
        }
        QMetaObject::invokeMethod(this, &ScriptReading::collect, Qt::QueuedConnection);
    }
}

void ScriptReading::collect()
{
    std::shared_ptr<const ScriptReadingResult> result;
    std::uint64_t generation = 0;
    {
        std::lock_guard lock(m_mutex);
        result = std::move(m_result);
        generation = m_resultGeneration;
        m_result.reset();
    }
    if (!result || generation != m_generation.load())
        return;
    m_latest = std::move(result);
    m_pending = false;
    emit updated();
}

} // namespace velkan
