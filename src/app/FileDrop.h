#pragma once

#include <QObject>
#include <QString>

class QMimeData;

namespace velkan {

class VelkanView;

// Files dropped on the main window: a song (.mid, .rmi) loads as MIDI読込
// does, a lyrics text or script (.txt, .wrd) as 歌詞読込 does, with the same
// questions, messages and undo step. A drag of other files is refused
// anywhere in the window (no path lands in an edit box); a drag of text alone
// is left to the widgets.
class FileDrop : public QObject {
    Q_OBJECT
public:
    // Watches every widget of the frame's window, those made later included.
    static void install(QWidget *frame, VelkanView *view);

    enum class Kind { None, Song, Lyrics };
    struct Target {
        Kind kind = Kind::None;
        QString path;
    };
    // The first local file of the drag that one of the two commands loads,
    // judged by its suffix whatever its case.
    static Target targetOf(const QMimeData *data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FileDrop(QWidget *frame, VelkanView *view);
    void load(const Target &target);

    QWidget *m_frame;
    VelkanView *m_view;
};

} // namespace velkan
