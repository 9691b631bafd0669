#include "document/ScriptReading.h"

#include "document/ScriptDocument.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace velkan {

namespace {

// The script's lines in one block, so that a copy is one allocation.
struct LinesCopy {
    std::string bytes;
    std::vector<std::size_t> ends;

    std::vector<std::string_view> views() const
    {
        std::vector<std::string_view> v;
        v.reserve(ends.size());
        std::size_t from = 0;
        for (const std::size_t end : ends) {
            v.emplace_back(bytes.data() + from, end - from);
            from = end;
        }
        return v;
    }
};

LinesCopy copyLines(const ScriptList &list)
{
    LinesCopy copy;
    std::size_t total = 0;
    for (int i = 0; i < list.count(); ++i)
        total += list.at(i).size();
    copy.bytes.reserve(total);
    copy.ends.reserve(static_cast<std::size_t>(list.count()));
    for (int i = 0; i < list.count(); ++i) {
        copy.bytes.append(list.at(i));
        copy.ends.push_back(copy.bytes.size());
    }
    return copy;
}

} // namespace

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
    : QObject(parent), m_document(document),
      m_generation(std::make_shared<std::atomic<std::uint64_t>>(0))
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMillis);
    connect(&m_gather, &QTimer::timeout, this, &ScriptReading::start);
    m_worker = new QObject;
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("script reading"));
    m_thread.start(QThread::LowPriority);
    m_document.list().addObserver(this);
}

ScriptReading::~ScriptReading()
{
    m_document.list().removeObserver(this);
    ++*m_generation; // whatever is on its way is dropped
    m_thread.quit();
    m_thread.wait();
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
    ++*m_generation;
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
    const std::uint64_t generation = ++*m_generation;
    auto lines = std::make_shared<const LinesCopy>(copyLines(m_document.list()));
    QPointer<ScriptReading> self(this);
    QMetaObject::invokeMethod(
        m_worker,
        [self, lines, song = m_song, generation, latest = m_generation] {
            if (latest->load() != generation)
                return; // an edit came after; its own reading follows
            const std::vector<std::string_view> views = lines->views();
            const SongTimeline *timeline = song ? song->timeline.get() : nullptr;
            const std::int64_t end = song ? song->endTick : 0;
            const std::vector<TimeSignatureEvent> *signatures =
                song && timeline ? &song->signatures : nullptr;
            auto reading = std::make_shared<const PlayerReading>(
                readAsPlayer(views, timeline, end, signatures));
            auto result = std::make_shared<ScriptReadingResult>();
            result->screens = std::make_shared<const PlayerScreenTimeline>(std::move(reading));
            result->findings = checkScript(views, timeline, end, signatures);
            result->lineCount = static_cast<int>(views.size());
            if (latest->load() != generation)
                return;
            // Queued to the UI thread; the QPointer is read there, where the
            // object lives and dies.
            QMetaObject::invokeMethod(
                qApp,
                [self, generation, result = std::shared_ptr<const ScriptReadingResult>(result)] {
                    if (self)
                        self->receive(generation, result);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void ScriptReading::receive(std::uint64_t generation,
                            std::shared_ptr<const ScriptReadingResult> result)
{
    if (generation != m_generation->load())
        return;
    m_latest = std::move(result);
    m_pending = false;
    emit updated();
}

} // namespace velkan
