#include "document/RecoveryJournal.h"

#include "document/ScriptDocument.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QUndoStack>
#include <algorithm>
#include <condition_variable>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <sys/file.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace velkan {

namespace {

const QString kSuffix = QStringLiteral(".recovery");

std::string fileName(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QString lockPathOf(const QString &path)
{
    return path + QStringLiteral(".lock");
}

// Opens (creating) and locks a lock file; -1 when it is held elsewhere or
// cannot be made. The lock goes with the descriptor, and with the process.
int takeLock(const QString &path)
{
    const int fd = ::open(fileName(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

// Writes and removes the recovery file on a thread of its own, one job at a
// time; a job handed over while another waits takes its place (only the
// newest copy matters). Jobs and their outcome change hands under one mutex.
class RecoveryJournal::Writer {
public:
    struct Job {
        enum Kind { Write, Remove } kind = Write;
        std::string path;
        RecoveryState state;
        std::uint64_t number = 0; // set when handed over
    };
    struct Outcome {
        std::uint64_t number = 0;
        Job::Kind kind = Job::Write;
        SaveResult result;
    };

    explicit Writer(std::function<void()> done)
        : m_done(std::move(done)), m_thread([this] { run(); })
    {
    }
    // Whatever was handed over is done first.
    ~Writer()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    // Returns the job's number.
    std::uint64_t post(Job job)
    {
        std::uint64_t number = 0;
        {
            const std::lock_guard lock(m_mutex);
            number = job.number = ++m_lastNumber;
            m_job = std::move(job);
        }
        m_wake.notify_all();
        return number;
    }
    void waitIdle()
    {
        std::unique_lock lock(m_mutex);
        m_wake.wait(lock, [this] { return !m_job && !m_busy; });
    }
    std::optional<Outcome> takeOutcome()
    {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_outcome, std::nullopt);
    }

private:
    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [this] { return m_job || m_stopping; });
            if (!m_job)
                return;
            Job job = std::move(*m_job);
            m_job.reset();
            Outcome outcome{job.number, job.kind, {}};
            m_busy = true;
            lock.unlock();
            if (job.kind == Job::Write)
                outcome.result = writeFileAtomically(job.path, encodeRecovery(job.state));
            else
                FileSystem::current().remove(job.path);
            job = {};
            lock.lock();
            m_busy = false;
            m_outcome = outcome;
            m_wake.notify_all();
            lock.unlock();
            m_done();
            lock.lock();
        }
    }

    std::function<void()> m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Job> m_job;
    std::optional<Outcome> m_outcome;
    std::uint64_t m_lastNumber = 0;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread; // last: it starts once everything else is in place
};

RecoveryJournal::RecoveryJournal(ScriptDocument &document, QObject *parent)
    : QObject(parent), m_document(document), m_folder(stateFolder())
{
    // The thread only tells this object that there is something to collect;
    // what it did is read under its mutex.
    m_writer = std::make_unique<Writer>([this] {
        QMetaObject::invokeMethod(this, &RecoveryJournal::collect, Qt::QueuedConnection);
    });
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, [this] { write(false); });
    connect(&m_document, &ScriptDocument::modifiedChanged, this, &RecoveryJournal::modifiedChanged);
    m_shadow = m_document.list().lines();
    m_index = m_base = m_document.undoStack()->index();
    m_document.list().addObserver(this);
    connect(m_document.undoStack(), &QUndoStack::indexChanged, this, &RecoveryJournal::stackMoved);
    // The name is this instance's own: its process and a random part, since
    // a process id comes round again.
    m_path = m_folder +
             QStringLiteral("/velkan-%1-%2")
                 .arg(QCoreApplication::applicationPid())
                 .arg(QRandomGenerator::global()->generate(), 8, 16, QChar(u'0')) +
             kSuffix;
}

RecoveryJournal::~RecoveryJournal()
{
    m_document.list().removeObserver(this);
    // A copy on its way is finished first.
    m_writer.reset();
    // The file stays when the work was not saved or given up: the program is
    // going without a clean exit, and the next start offers it.
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    if (!m_copyMayExist)
        QFile::remove(lockPathOf(m_path));
}

QString RecoveryJournal::stateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory rules: a relative path is to be ignored.
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/velkan");
}

void RecoveryJournal::setSongPath(const QString &path)
{
    if (path == m_songPath)
        return;
    m_songPath = path;
    if (m_document.isModified())
        changed();
}

void RecoveryJournal::setPlaying(bool playing)
{
    m_playing = playing;
    // Stopping brings a long gathering back to the editing one.
    if (!playing && m_gather.isActive() && !m_failing && m_gather.remainingTime() > kGatherMs)
        m_gather.start(kGatherMs);
}

void RecoveryJournal::changed()
{
    m_changedAtMs = QDateTime::currentMSecsSinceEpoch();
    if (!m_document.isModified())
        return;
    // The first change starts the gathering; later ones join it, so a stream
    // of changes is written at least that often.
    if (!m_gather.isActive())
        m_gather.start(m_playing ? kPlayingGatherMs : kGatherMs);
}

// --- the history ----------------------------------------------------------

namespace {

std::vector<std::string> linesOf(const ScriptLines &lines, std::size_t first, std::size_t count)
{
    std::vector<std::string> out;
    out.reserve(count);
    for (std::size_t i = first; i < first + count; ++i)
        out.emplace_back(lines[i]);
    return out;
}

std::size_t bytesOf(const RecoveryStep &step)
{
    std::size_t bytes = step.name.size() + 16;
    for (const RecoveryEdit &edit : step.edits) {
        bytes += 24;
        for (const std::string &line : edit.before)
            bytes += line.size() + 4;
        for (const std::string &line : edit.after)
            bytes += line.size() + 4;
    }
    return bytes;
}

} // namespace

void RecoveryJournal::inserted(int first, int count)
{
    const auto at = static_cast<std::size_t>(first);
    RecoveryEdit edit{at, {}, linesOf(m_document.list().lines(), at, std::size_t(count))};
    m_shadow.insert(at, edit.after);
    m_pending.push_back(std::move(edit));
    changed();
}

void RecoveryJournal::aboutToRemove(int first, int count)
{
    const auto at = static_cast<std::size_t>(first);
    m_pending.push_back({at, linesOf(m_shadow, at, std::size_t(count)), {}});
}

void RecoveryJournal::removed(int first, int count)
{
    m_shadow.erase(static_cast<std::size_t>(first), static_cast<std::size_t>(count));
    changed();
}

void RecoveryJournal::changed(int first, int last)
{
    const auto at = static_cast<std::size_t>(first);
    const auto count = static_cast<std::size_t>(last - first + 1);
    RecoveryEdit edit{at, linesOf(m_shadow, at, count),
                      linesOf(m_document.list().lines(), at, count)};
    for (std::size_t i = 0; i < count; ++i)
        m_shadow.replace(at + i, edit.after[i]);
    m_pending.push_back(std::move(edit));
    changed();
}

void RecoveryJournal::reset()
{
    // All lines at once (a load): the copy of the whole script starts the
    // history again rather than carry both scripts in it.
    m_shadow = m_document.list().lines();
    m_pending.clear();
    m_pendingReset = true;
    changed();
}

std::size_t RecoveryJournal::historyDone() const
{
    return static_cast<std::size_t>(std::max(0, m_index - m_base));
}

void RecoveryJournal::restartHistory(int index)
{
    m_steps.clear();
    m_commands.clear();
    m_historyBytes = 0;
    m_base = m_index = index;
    m_pending.clear();
    m_pendingReset = false;
}

void RecoveryJournal::trimHistory()
{
    std::size_t drop = 0;
    while (drop < m_steps.size() &&
           (m_steps.size() - drop > kMaxHistorySteps || m_historyBytes > kMaxHistoryBytes) &&
           static_cast<int>(drop) < m_index - m_base) {
        m_historyBytes -= bytesOf(m_steps[drop]);
        ++drop;
    }
    m_steps.erase(m_steps.begin(), m_steps.begin() + static_cast<std::ptrdiff_t>(drop));
    m_commands.erase(m_commands.begin(), m_commands.begin() + static_cast<std::ptrdiff_t>(drop));
    m_base += static_cast<int>(drop);
}

// Tells a new step from an undo or a redo by where the stack's index went and
// which command stands there; anything else starts the history again.
void RecoveryJournal::stackMoved(int index)
{
    const QUndoStack &stack = *m_document.undoStack();
    const int offset = index - 1 - m_base;
    const bool known = offset >= 0 && offset < static_cast<int>(m_commands.size()) &&
                       m_commands[static_cast<std::size_t>(offset)] == stack.command(index - 1);
    if (m_pendingReset || index < m_base) {
        restartHistory(index);
        return;
    }
    if (index == m_index + 1 && known) {
        // A redo: its changes are the step's own, already kept.
    } else if (index == m_index - 1) {
        // An undo.
    } else if (index == m_index + 1 && index == stack.count() && offset >= 0 &&
               !m_pending.empty()) {
        // A new step: any steps it cut off for redo go.
        for (auto i = static_cast<std::size_t>(offset); i < m_steps.size(); ++i)
            m_historyBytes -= bytesOf(m_steps[i]);
        m_steps.resize(static_cast<std::size_t>(offset));
        m_commands.resize(static_cast<std::size_t>(offset));
        m_steps.push_back({stack.text(index - 1).toStdString(), std::move(m_pending)});
        m_commands.push_back(stack.command(index - 1));
        m_historyBytes += bytesOf(m_steps.back());
    } else {
        restartHistory(index);
        return;
    }
    m_pending.clear();
    m_index = index;
    trimHistory();
}

void RecoveryJournal::modifiedChanged(bool modified)
{
    if (modified)
        changed();
    else
        discard();
}

bool RecoveryJournal::ensureLock()
{
    if (m_lockFd >= 0)
        return true;
    QDir().mkpath(m_folder);
    m_lockFd = takeLock(lockPathOf(m_path));
    return m_lockFd >= 0;
}

bool RecoveryJournal::writeNow()
{
    return write(true);
}

bool RecoveryJournal::write(bool wait)
{
    m_gather.stop();
    if (!m_document.isModified())
        return false;
    if (!ensureLock()) {
        m_failing = true;
        emit problem(
            QStringLiteral("復元用の控えを保存できませんでした (%1)。編集はそのまま続けられます。")
                .arg(QStringLiteral("フォルダー %1 を作れないか、書き込めません").arg(m_folder)));
        m_gather.start(kRetryMs);
        return false;
    }
    Writer::Job job;
    job.path = fileName(m_path);
    // A copy of the lines shares their loaded blocks: cheap even for a long script.
    job.state.lines = m_document.list().lines();
    job.state.scriptPath = fileName(m_document.scriptPath());
    job.state.songPath = fileName(m_songPath);
    job.state.changedAtMs = m_changedAtMs ? m_changedAtMs : QDateTime::currentMSecsSinceEpoch();
    job.state.processId = QCoreApplication::applicationPid();
    // Changes outside any step (a dialog still open) are in the lines
    // but not in the history: it is kept only when it leads to them.
    if (m_pending.empty() && !m_pendingReset) {
        job.state.steps = m_steps;
        job.state.stepsDone = historyDone();
    }
    m_copyMayExist = true;
    m_writer->post(std::move(job));
    if (!wait)
        return true;
    m_writer->waitIdle();
    collect();
    return !m_failing;
}

void RecoveryJournal::collect()
{
    const std::optional<Writer::Outcome> outcome = m_writer->takeOutcome();
    // A write the author's save or exit has since taken back says nothing.
    if (!outcome || outcome->kind != Writer::Job::Write || outcome->number < m_removedAt)
        return;
    if (outcome->result.status == SaveStatus::Ok) {
        if (m_failing) {
            m_failing = false;
            emit problem({});
        }
        emit written();
        return;
    }
    m_failing = true;
    emit problem(
        QStringLiteral("復元用の控えを保存できませんでした (%1)。編集はそのまま続けられます。")
            .arg(QString::fromStdString(saveFailureReason(outcome->result))));
    if (!m_gather.isActive())
        m_gather.start(kRetryMs);
}

void RecoveryJournal::discard()
{
    m_gather.stop();
    if (m_copyMayExist) {
        m_removedAt = m_writer->post({Writer::Job::Remove, fileName(m_path), {}});
        m_copyMayExist = false;
    }
    if (m_failing) {
        m_failing = false;
        emit problem({});
    }
}

// --- files left behind ----------------------------------------------------

RecoveryJournal::LeftBehind::LeftBehind(LeftBehind &&other) noexcept
    : m_path(std::move(other.m_path)), m_lockFd(std::exchange(other.m_lockFd, -1))
{
}

RecoveryJournal::LeftBehind::~LeftBehind()
{
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

RecoveryReadStatus RecoveryJournal::LeftBehind::read(RecoveryState &state) const
{
    std::string bytes;
    if (FileSystem::current().readText(fileName(m_path), bytes) != FileSystem::ReadStatus::Ok)
        return RecoveryReadStatus::Truncated;
    return decodeRecovery(bytes, state);
}

void RecoveryJournal::LeftBehind::remove() const
{
    FileSystem::current().remove(fileName(m_path));
    QFile::remove(lockPathOf(m_path));
}

void RecoveryJournal::LeftBehind::setAside() const
{
    FileSystem::current().rename(fileName(m_path), fileName(m_path + QStringLiteral(".damaged")));
    QFile::remove(lockPathOf(m_path));
}

std::optional<RecoveryJournal::LeftBehind> RecoveryJournal::claim(const QString &path)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const int fd = takeLock(lockPathOf(path));
    if (fd < 0)
        return std::nullopt;
    return LeftBehind(path, fd);
}

void RecoveryJournal::tidy(const QString &folder, int staleSeconds)
{
    const QDir dir(folder);
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-staleSeconds);
    for (const QFileInfo &temp :
         dir.entryInfoList({QStringLiteral(".velkan-save-*")}, QDir::Files | QDir::Hidden)) {
        if (temp.lastModified() < stale)
            QFile::remove(temp.absoluteFilePath());
    }
    const QString lockSuffix = kSuffix + QStringLiteral(".lock");
    for (const QFileInfo &lock :
         dir.entryInfoList({QStringLiteral("*") + lockSuffix}, QDir::Files | QDir::Hidden)) {
        const QString copy = lock.absoluteFilePath().chopped(5);
        if (QFileInfo::exists(copy))
            continue;
        // Only a lock no instance holds goes; it is removed while held here.
        const int fd = takeLock(lock.absoluteFilePath());
        if (fd >= 0) {
            QFile::remove(lock.absoluteFilePath());
            ::close(fd);
        }
    }
}

std::vector<RecoveryJournal::LeftBehind> RecoveryJournal::findLeftBehind(const QString &folder)
{
    struct Found {
        QString path;
        QDateTime changed;
    };
    std::vector<Found> found;
    const QFileInfoList files = QDir(folder).entryInfoList(
        {QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Hidden, QDir::NoSort);
    for (const QFileInfo &file : files)
        found.push_back({file.absoluteFilePath(), file.lastModified()});
    std::sort(found.begin(), found.end(),
              [](const Found &a, const Found &b) { return a.changed < b.changed; });
    std::vector<LeftBehind> result;
    for (const Found &file : found) {
        // A lock that can be taken belongs to no running instance.
        const int fd = takeLock(lockPathOf(file.path));
        if (fd >= 0)
            result.emplace_back(file.path, fd);
    }
    return result;
}

} // namespace velkan
