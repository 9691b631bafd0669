#pragma once

#include "script/RecoveryFile.h"
#include "script/ScriptList.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>
#include <vector>

namespace velkan {

class ScriptDocument;

// Keeps a copy of unsaved work where it survives the program: after a change
// of the script (gathered for a moment) the lines, the script's and the song's
// paths go to this instance's recovery file, written whole or not at all. A
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
    static constexpr int kGatherMs = 1500;
    static constexpr int kPlayingGatherMs = 30000;
    // After a failed write.
    static constexpr int kRetryMs = 10000;

    explicit RecoveryJournal(ScriptDocument &document, QObject *parent = nullptr);
    ~RecoveryJournal() override;

    // $XDG_STATE_HOME/velkan, else ~/.local/state/velkan.
    static QString stateFolder();

    // This instance's recovery file (it exists only while there is unsaved work).
    QString filePath() const { return m_path; }

    void setSongPath(const QString &path);
    // While playing, changes are gathered longer.
    void setPlaying(bool playing);

    // Writes the unsaved work now (nothing when the script is saved). True
    // when the file holds it.
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
    // The files in `folder` whose instance is gone, oldest change first.
    static std::vector<LeftBehind> findLeftBehind(const QString &folder = stateFolder());

signals:
    // A write failed: what to tell the author (empty when a later write worked).
    void problem(const QString &text);
    void written();

private:
    void aboutToInsert(int, int) override {}
    void inserted(int, int) override { changed(); }
    void aboutToRemove(int, int) override {}
    void removed(int, int) override { changed(); }
    void aboutToReset() override {}
    void reset() override { changed(); }
    void changed(int, int) override { changed(); }
    void changed();
    void modifiedChanged(bool modified);
    bool ensureLock();

    ScriptDocument &m_document;
    QTimer m_gather;
    QString m_folder;
    QString m_path;
    QString m_songPath;
    int m_lockFd = -1;
    qint64 m_changedAtMs = 0;
    bool m_playing = false;
    bool m_failing = false;
    bool m_fileWritten = false;
};

} // namespace velkan
