#include "app/RecoveryOffer.h"

#include "app/MainFrame.h"
#include "document/RecoveryJournal.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QThread>
#include <optional>
#include <utility>

namespace velkan {

namespace {

QString fromFileName(const std::string &name)
{
    return QFile::decodeName(QByteArray::fromStdString(name));
}

// What the question shows of the work: when it was last changed, how long it
// is, and which files it belongs to.
QString describe(const RecoveryState &state)
{
    const QDateTime changed = QDateTime::fromMSecsSinceEpoch(state.changedAtMs);
    QString text = QStringLiteral("最後の変更: %1\n行数: %2")
                       .arg(changed.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")),
                            QLocale(QLocale::Japanese).toString(qulonglong(state.lines.size())));
    if (!state.scriptPath.empty())
        text += QStringLiteral("\nスクリプト: ") + fromFileName(state.scriptPath);
    if (!state.songPath.empty())
        text += QStringLiteral("\n曲: ") + fromFileName(state.songPath);
    return text;
}

void refuse(MainFrame &frame, const RecoveryJournal::LeftBehind &file, RecoveryReadStatus status)
{
    MessageBox::show(
        &frame,
        QString::fromUtf8(messageFor(status)) + u'\n' + file.path() +
            QStringLiteral("\nこのファイルは %1.damaged として残します。").arg(file.path()));
    file.setAside();
}

} // namespace

void offerLeftBehindWork(MainFrame &frame, const QString &folder)
{
    RecoveryJournal::tidy(folder);
    for (RecoveryJournal::LeftBehind &file : RecoveryJournal::findLeftBehind(folder)) {
        RecoveryState state;
        const RecoveryReadStatus status = file.read(state);
        if (status != RecoveryReadStatus::Ok) {
            refuse(frame, file, status);
            continue;
        }
        switch (MessageBox::askRestore(&frame, describe(state))) {
        case MessageBox::Restore:
            if (frame.isUntouched()) {
                frame.restoreWork(state);
                file.remove();
            } else {
                // This window already holds work: the file goes to a new
                // instance, which takes its lock once this one lets it go.
                const QString path = file.path();
                {
                    RecoveryJournal::LeftBehind released = std::move(file);
                }
                QProcess::startDetached(
                    QCoreApplication::applicationFilePath(),
                    {QStringLiteral("--") + QLatin1String(kRecoverOption), path});
            }
            break;
        case MessageBox::Discard:
            file.remove();
            break;
        default:
            // Offered again at the next start.
            break;
        }
    }
}

bool restoreLeftBehindWork(MainFrame &frame, const QString &path)
{
    if (!QFileInfo::exists(path)) {
        MessageBox::show(&frame, QStringLiteral("復元するファイル %1 がありません。").arg(path));
        return false;
    }
    // The instance that handed it over lets its lock go just before; a moment
    // is allowed for that.
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::optional<RecoveryJournal::LeftBehind> file = RecoveryJournal::claim(path);
        if (file) {
            RecoveryState state;
            const RecoveryReadStatus status = file->read(state);
            if (status != RecoveryReadStatus::Ok) {
                refuse(frame, *file, status);
                return false;
            }
            frame.restoreWork(state);
            file->remove();
            return true;
        }
        QThread::msleep(20);
    }
    MessageBox::show(&frame,
                     QStringLiteral("%1 は別のVelkanが使っているため、復元できません。").arg(path));
    return false;
}

} // namespace velkan
