#pragma once

#include "midi/SongTimeline.h"
#include "player/PlayerScreen.h"
#include "player/ScriptCheck.h"
#include "script/ScriptList.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velkan {

class ScriptDocument;

// What the player reads of a song besides its timeline.
struct PlayerSong {
    std::shared_ptr<const SongTimeline> timeline;
    std::int64_t endTick = 0;
    std::vector<TimeSignatureEvent> signatures;
};
// From a MIDI file image and the timeline read from it.
std::shared_ptr<const PlayerSong> playerSongOf(std::string_view smfImage,
                                               std::shared_ptr<const SongTimeline> timeline);

// One reading of the script as the player reads it: its screens at every
// moment and what the check finds.
struct ScriptReadingResult {
    std::shared_ptr<const PlayerScreenTimeline> screens;
    std::vector<Finding> findings;
    int lineCount = 0;
};

// Keeps a reading of the document's script beside the song up to date, away
// from the UI thread: each change of the lines (gathered for a moment) hands
// a copy of them to a worker thread, and the result comes back as
// `updated`. A result that an edit has made stale on the way is dropped.
// Nothing is read while no one wants it.
//
// The job and the result change hands under one mutex; the UI thread is only
// told by a queued call that a result is waiting.
class ScriptReading : public QObject, private ScriptListObserver {
    Q_OBJECT
signals:
    void updated();

public:
    explicit ScriptReading(const ScriptDocument &document, QObject *parent = nullptr);
    ~ScriptReading() override;

    // Whoever shows a reading holds it wanted while shown; the first want
    // reads at once.
    void want();
    void unwant();
    bool isWanted() const { return m_wanted > 0; }

    void setSong(std::shared_ptr<const PlayerSong> song);
    // Reads again now (after the moment changes are gathered for).
    void refresh();

    // The last reading; null before the first.
    const std::shared_ptr<const ScriptReadingResult> &latest() const { return m_latest; }
    // A reading of the lines as they are now is on its way.
    bool isPending() const { return m_pending; }

    // How long changes are gathered before a reading starts.
    static constexpr int kGatherMillis = 60;

private:
    void aboutToInsert(int, int) override {}
    void inserted(int, int) override { schedule(); }
    void aboutToRemove(int, int) override {}
    void removed(int, int) override { schedule(); }
    void aboutToReset() override {}
    void reset() override { schedule(); }
    void changed(int, int) override { schedule(); }

    void schedule();
    void start();
    void work(std::stop_token stop);
    void collect();

    // The lines of a script in one block, so that a copy is one allocation.
    struct Lines {
        std::string bytes;
        std::vector<std::size_t> ends;
    };
    struct Job {
        std::shared_ptr<const Lines> lines;
        std::shared_ptr<const PlayerSong> song;
        std::uint64_t generation = 0;
    };

    const ScriptDocument &m_document;
    std::shared_ptr<const PlayerSong> m_song;
    std::shared_ptr<const ScriptReadingResult> m_latest;
    QTimer m_gather;
    int m_wanted = 0;
    bool m_pending = false;

    // The reading wanted now; the worker drops any job or result of an older one.
    std::atomic<std::uint64_t> m_generation{0};
    std::mutex m_mutex; // the job and the result below
    std::condition_variable_any m_wake;
    std::optional<Job> m_job;
    std::shared_ptr<const ScriptReadingResult> m_result;
    std::uint64_t m_resultGeneration = 0;
    std::jthread m_worker; // last: it stops and joins first
};

} // namespace velkan
