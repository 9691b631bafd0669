#pragma once

#include "player/PlayerScreen.h"

#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QTimer;

namespace velkan {

class Playback;
class ScriptReading;
class VelkanView;

// The player's screen drawn as the player draws it: 640 x 400 pixels (times
// `scale`), 8 x 16 a cell, a double-byte character 16 x 16.
QImage renderPlayerScreen(const PlayerScreen &screen, int scale = 1);

// Shows one screen, doubled when asked.
class PlayerScreenView : public QWidget {
    Q_OBJECT
public:
    explicit PlayerScreenView(QWidget *parent = nullptr);

    void setScreen(const PlayerScreen &screen);
    const PlayerScreen &screen() const { return m_screen; }
    void setScale(int scale);
    int scale() const { return m_scale; }
    // The picture as painted (drawn again only when the screen changes).
    const QImage &image() const { return m_image; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    PlayerScreen m_screen;
    QImage m_image;
    int m_scale = 1;
};

// "プレーヤー表示": the screen the player shows, following the song while it
// plays, at the song's position while it stands, and at the selected line's
// moment when the author picks a line.
class PlayerPreviewWindow : public QWidget {
    Q_OBJECT
signals:
    void shownChanged(bool shown);

public:
    PlayerPreviewWindow(VelkanView &view, ScriptReading &reading, QWidget *parent = nullptr);
    ~PlayerPreviewWindow() override;

    PlayerScreenView *screenView() const { return m_screen; }
    QCheckBox *doubleBox() const { return m_double; }
    QLabel *positionLabel() const { return m_position; }
    // Frames a second while the song plays.
    static constexpr int kFrameMillis = 30;

    // What the screen follows now (tests read it).
    enum class Follow : std::uint8_t { Song, Line };
    Follow follows() const { return m_follow; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void followSong();
    void followLine(int row);
    void frame();
    void showNow();

    VelkanView &m_view;
    Playback &m_playback;
    ScriptReading &m_reading;
    PlayerScreenView *m_screen = nullptr;
    QCheckBox *m_double = nullptr;
    QLabel *m_position = nullptr;
    QTimer *m_frames = nullptr;
    Follow m_follow = Follow::Song;
    int m_line = -1;
    bool m_wanted = false;
};

} // namespace velkan
