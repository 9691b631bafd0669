#include "document/RecoveryJournal.h"

#include "document/ScriptDocument.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <algorithm>
#include <fcntl.h>
#include <sys/file.h>
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
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

RecoveryJournal::RecoveryJournal(ScriptDocument &document, QObject *parent)
    : QObject(parent), m_document(document), m_folder(stateFolder())
{
    m_gather.setSingleShot(true);
    connect(&m_gather, &QTimer::timeout, this, [this] { writeNow(); });
    connect(&m_document, &ScriptDocument::modifiedChanged, this, &RecoveryJournal::modifiedChanged);
    m_document.list().addObserver(this);
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
    // The file stays when the work was not saved or given up: the program is
    // going without a clean exit, and the next start offers it.
    if (m_lockFd >= 0)
        ::close(m_lockFd);
    if (!m_fileWritten)
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
    m_gather.stop();
    if (!m_document.isModified())
        return false;
    QString failure;
    if (!ensureLock()) {
        failure = QStringLiteral("フォルダー %1 を作れないか、書き込めません").arg(m_folder);
    } else {
        RecoveryState state;
        state.lines = m_document.list().lines();
        state.scriptPath = fileName(m_document.scriptPath());
        state.songPath = fileName(m_songPath);
        state.changedAtMs = m_changedAtMs ? m_changedAtMs : QDateTime::currentMSecsSinceEpoch();
        state.processId = QCoreApplication::applicationPid();
        const SaveResult result = writeFileAtomically(fileName(m_path), encodeRecovery(state));
        if (result.status == SaveStatus::Ok) {
            m_fileWritten = true;
            if (m_failing) {
                m_failing = false;
                emit problem({});
            }
            emit written();
            return true;
        }
        failure = QString::fromStdString(saveFailureReason(result));
    }
    m_failing = true;
    emit problem(
        QStringLiteral("復元用の控えを保存できませんでした (%1)。編集はそのまま続けられます。")
            .arg(failure));
    m_gather.start(kRetryMs);
    return false;
}

void RecoveryJournal::discard()
{
    m_gather.stop();
    if (m_fileWritten)
        FileSystem::current().remove(fileName(m_path));
    m_fileWritten = false;
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
