#include "app/FileDrop.h"

#include "form/Playback.h"
#include "form/VelkanView.h"

#include <QApplication>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

namespace velkan {

void FileDrop::install(QWidget *frame, VelkanView *view)
{
    new FileDrop(frame, view);
}

FileDrop::FileDrop(QWidget *frame, VelkanView *view) : QObject(frame), m_frame(frame), m_view(view)
{
    // The window takes drops wherever a widget of its own does not; the
    // application-wide filter sees a drag before any widget of the window
    // does, the line edit's own taking of text included.
    frame->setAcceptDrops(true);
    qApp->installEventFilter(this);
}

FileDrop::Target FileDrop::targetOf(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == u"mid" || suffix == u"rmi")
            return {Kind::Song, path};
        if (suffix == u"txt" || suffix == u"wrd")
            return {Kind::Lyrics, path};
    }
    return {};
}

bool FileDrop::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != m_frame)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QMimeData *data = drop->mimeData();
    // Text alone is the widgets' business.
    if (!data || !data->hasUrls())
        return false;
    const Target target = targetOf(data);
    if (target.kind == Kind::None) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        // Loaded once the drag is over: the source is not kept waiting on
        // the questions and messages a load may bring.
        QTimer::singleShot(0, this, [this, target] { load(target); });
    }
    return true;
}

void FileDrop::load(const Target &target)
{
    if (target.kind == Kind::Song)
        m_view->playback()->loadSong(target.path);
    else
        m_view->loadScriptFrom(target.path);
}

} // namespace velkan
