#pragma once

#include "script/RecoveryFile.h"
#include "script/ScriptList.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

namespace velkan {

class ScriptDocument;

// Keeps a copy of unsaved work where it survives the program: after a change
// of the script (gathered for a moment) the lines, the script's and the song's
// paths go to this instance's recovery file, written whole or not at all, on
// a thread of its own so that a long script never holds up the editing. A
// save, or going back to the saved lines, removes the file; so does a clean
// exit (discard()). A file that cannot be written never stops the editing:
// problem() says so and the next attempt comes later.
//
// Each instance holds a lock beside its file for as long as it runs, so the
// file of an instance that stopped is told from one still in use.
class RecoveryJournal : public QObject, private ScriptListObserver {
    Q_OBJECT
public:
    // How long changes are gathered before they are written: while editing,
    // and while the song plays (taps come every second or two).
    static constexpr int kGatherMs = 1000;
    static constexpr int kPlayingGatherMs = 30000;
    // After a failed write.
    static constexpr int kRetryMs = 10000;
    // The undo history kept beside the copy: the newest steps, up to these.
    static constexpr std::size_t kMaxHistorySteps = 2000;
    static constexpr std::size_t kMaxHistoryBytes = 8u << 20;

    explicit RecoveryJournal(ScriptDocument &document, QObject *parent = nullptr);
    ~RecoveryJournal() override;

    // $XDG_STATE_HOME/velkan, else ~/.local/state/velkan.
    static QString stateFolder();

    // This instance's recovery file (it exists only while there is unsaved work).
    QString filePath() const { return m_path; }

    void setSongPath(const QString &path);
    // While playing, changes are gathered longer.
    void setPlaying(bool playing);

    // Writes the unsaved work now and waits for it (nothing when the script
    // is saved). True when the file holds it.
    bool writeNow();
    // A write is planned (gathering, or again after a failure).
    bool writePending() const { return m_gather.isActive(); }
    // The work is saved or given up: the file goes.
    void discard();

    // A recovery file left by an instance that is no longer running. While
    // this object lives it holds that instance's lock, so no other instance
    // offers the same file.
    class LeftBehind {
    public:
        LeftBehind(QString path, int lockFd) : m_path(std::move(path)), m_lockFd(lockFd) {}
        LeftBehind(LeftBehind &&other) noexcept;
        LeftBehind &operator=(LeftBehind &&other) = delete;
        LeftBehind(const LeftBehind &) = delete;
        ~LeftBehind();
        const QString &path() const { return m_path; }
        // Reads it whole; `state` is set only on Ok.
        RecoveryReadStatus read(RecoveryState &state) const;
        // Removes the file and its lock.
        void remove() const;
        // Puts a file that could not be read aside (…​.damaged), so that it is
        // kept but not offered again.
        void setAside() const;

    private:
        QString m_path;
        int m_lockFd = -1;
    };
    // One file by its path, when no running instance holds it.
    static std::optional<LeftBehind> claim(const QString &path);
    // Clears what stopped instances leave beside their files: a lock with
    // no file and no instance holding it, and a temporary file of a write
    // cut short (one older than `staleSeconds`; a write takes far less).
    static void tidy(const QString &folder = stateFolder(), int staleSeconds = 600);
    // The files in `folder` whose instance is gone, oldest change first.
    static std::vector<LeftBehind> findLeftBehind(const QString &folder = stateFolder());

    // The history the next write would carry: for tests.
    const std::vector<RecoveryStep> &history() const { return m_steps; }
    std::size_t historyDone() const;

signals:
    // A write failed: what to tell the author (empty when a later write worked).
    void problem(const QString &text);
    void written();

private:
    // Every change is kept as an edit of a copy of the lines (which shares
    // their loaded blocks), so the lines a change replaced are known.
    void aboutToInsert(int, int) override {}
    void inserted(int first, int count) override;
    void aboutToRemove(int first, int count) override;
    void removed(int first, int count) override;
    void aboutToReset() override {}
    void reset() override;
    void changed(int first, int last) override;
    void changed();
    // Hands the work to the writing thread; with `wait`, until it is written.
    bool write(bool wait);
    // Takes in what the writing thread did (on this object's thread).
    void collect();
    void stackMoved(int index);
    void restartHistory(int index);
    void trimHistory();
    void modifiedChanged(bool modified);
    bool ensureLock();

    class Writer;
    ScriptDocument &m_document;
    std::unique_ptr<Writer> m_writer;
    std::uint64_t m_removedAt = 0; // the writer's job number of the last removal
    bool m_copyMayExist = false;   // a write was handed over since the last removal
    ScriptLines m_shadow;
    std::vector<RecoveryEdit> m_pending;  // changes not yet part of a step
    bool m_pendingReset = false;          // among them, all lines replaced
    std::vector<RecoveryStep> m_steps;    // the history since m_base
    std::vector<const void *> m_commands; // the undo stack's command of each step
    std::size_t m_historyBytes = 0;
    int m_base = 0;  // the stack's index before m_steps[0]
    int m_index = 0; // the stack's index last seen
    QTimer m_gather;
    QString m_folder;
    QString m_path;
    QString m_songPath;
    int m_lockFd = -1;
    qint64 m_changedAtMs = 0;
    bool m_playing = false;
    bool m_failing = false;
};

} // namespace velkan
