#pragma once

#include "midi/SongTimeline.h"
#include "player/PlayerScreen.h"
#include "player/ScriptCheck.h"
#include "script/ScriptList.h"

#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
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
// from the UI thread: each change of the lines (gathered for a moment) sends
// a copy of them to a worker thread, and the result comes back as
// `updated`. A result that an edit has made stale on the way is dropped.
// Nothing is read while no one wants it.
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
    void receive(std::uint64_t generation, std::shared_ptr<const ScriptReadingResult> result);

    const ScriptDocument &m_document;
    std::shared_ptr<const PlayerSong> m_song;
    std::shared_ptr<const ScriptReadingResult> m_latest;
    QTimer m_gather;
    QThread m_thread;
    QObject *m_worker = nullptr; // lives on m_thread
    std::shared_ptr<std::atomic<std::uint64_t>> m_generation;
    int m_wanted = 0;
    bool m_pending = false;
};

} // namespace velkan
