#include "aids/PlayerPreview.h"

#include "document/ScriptReading.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/ShiftJisCodec.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

namespace velkan {

namespace {

constexpr int kCellWidth = 8;
constexpr int kCellHeight = 16;

QColor toColor(const ScreenColour &c)
{
    return QColor::fromRgb(c.r >> 8, c.g >> 8, c.b >> 8);
}

} // namespace

QImage renderPlayerScreen(const PlayerScreen &screen, int scale)
{
    const int cw = kCellWidth * scale, ch = kCellHeight * scale;
    QImage image(kScreenColumns * cw, kScreenRows * ch, QImage::Format_RGB32);
    const QColor background = toColor(screen.background());
    image.fill(background);
    if (!screen.textShown())
        return image;

    QPainter p(&image);
    QFont font = Fonts::fixedFont(12);
    font.setPixelSize(ch);
    font.setHintingPreference(QFont::PreferFullHinting);
    p.setFont(font);
    const QColor white = toColor(screenTextColour(7));
    for (int row = 0; row < kScreenRows; ++row) {
        for (int col = 0; col < kScreenColumns; ++col) {
            const ScreenCell &cell = screen.cell(row, col);
            if (cell.byte == 0)
                continue;
            std::string bytes(1, static_cast<char>(cell.byte));
            int cells = 1;
            if (cell.attr & ScreenCell::Double) {
                // A double-byte character is drawn from its first half.
                if (!(cell.attr & ScreenCell::Lead) || col + 1 >= kScreenColumns)
                    continue;
                bytes += static_cast<char>(screen.cell(row, col + 1).byte);
                cells = 2;
            }
            const QRect box(col * cw, row * ch, cells * cw, ch);
            const QColor colour = toColor(screenTextColour(cell.colour()));
            QColor ink = white;
            if (cell.attr & ScreenCell::Coloured) {
                ink = colour;
            } else if (cell.attr & ScreenCell::Reverse) {
                p.fillRect(box, colour);
                ink = background;
            }
            if (cell.byte == ' ')
                continue;
            p.setPen(ink);
            p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, ShiftJis::decode(bytes));
        }
    }
    return image;
}

// --- the view ---

PlayerScreenView::PlayerScreenView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("playerScreen"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_image = renderPlayerScreen(m_screen, m_scale);
    setFixedSize(m_image.size());
}

void PlayerScreenView::setScreen(const PlayerScreen &screen)
{
    if (screen == m_screen)
        return;
    m_screen = screen;
    m_image = renderPlayerScreen(m_screen, m_scale);
    update();
}

void PlayerScreenView::setScale(int scale)
{
    scale = std::clamp(scale, 1, 2);
    if (scale == m_scale)
        return;
    m_scale = scale;
    m_image = renderPlayerScreen(m_screen, m_scale);
    setFixedSize(m_image.size());
    update();
}

QSize PlayerScreenView::sizeHint() const
{
    return m_image.size();
}

void PlayerScreenView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, m_image);
}

// --- the window ---

PlayerPreviewWindow::PlayerPreviewWindow(VelkanView &view, ScriptReading &reading, QWidget *parent)
    : QWidget(parent, Qt::Window), m_view(view), m_playback(*view.playback()), m_reading(reading)
{
    setObjectName(QStringLiteral("playerPreview"));
    setWindowTitle(QStringLiteral("プレーヤー表示"));
    HelpWindow::addHelpKey(this, QStringLiteral("player-view"));
    m_screen = new PlayerScreenView(this);
    m_double = new QCheckBox(QStringLiteral("2倍の大きさ(&D)"), this);
    m_double->setObjectName(QStringLiteral("doubleSize"));
    m_position = new QLabel(this);
    m_position->setObjectName(QStringLiteral("previewPosition"));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_position, 1);
    bottom->addWidget(m_double);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 4);
    layout->addWidget(m_screen);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    bottom->setContentsMargins(6, 0, 6, 0);

    // Esc closes the window, as it closes a dialog.
    auto *close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    connect(m_double, &QCheckBox::toggled, this,
            [this](bool on) { m_screen->setScale(on ? 2 : 1); });

    m_frames = new QTimer(this);
    m_frames->setInterval(kFrameMillis);
    m_frames->setTimerType(Qt::PreciseTimer);
    connect(m_frames, &QTimer::timeout, this, &PlayerPreviewWindow::frame);

    // The song: played, stopped, or moved by the thumb.
    connect(&m_playback, &Playback::starting, this, [this] {
        followSong();
        if (isVisible())
            m_frames->start();
    });
    connect(&m_playback, &Playback::thumbMoved, this, [this] { followSong(); });
    connect(&m_playback, &Playback::draggedBarShown, this, [this](int bar) {
        if (bar != Playback::kCleared)
            followSong();
    });
    connect(&m_playback, &Playback::songChanged, this, [this] { followSong(); });
    // A line the author picks, while the song does not play.
    connect(view.listView()->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (!m_playback.isPerforming() && current.isValid())
                    followLine(current.row());
            });
    connect(&m_reading, &ScriptReading::updated, this, &PlayerPreviewWindow::showNow);
}

PlayerPreviewWindow::~PlayerPreviewWindow()
{
    if (m_wanted)
        m_reading.unwant();
}

void PlayerPreviewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_wanted) {
        m_wanted = true;
        m_reading.want();
    }
    if (m_playback.isPerforming())
        m_frames->start();
    showNow();
    emit shownChanged(true);
}

void PlayerPreviewWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_frames->stop();
    if (m_wanted) {
        m_wanted = false;
        m_reading.unwant();
    }
    emit shownChanged(false);
}

void PlayerPreviewWindow::followSong()
{
    m_follow = Follow::Song;
    showNow();
}

void PlayerPreviewWindow::followLine(int row)
{
    m_follow = Follow::Line;
    m_line = row;
    showNow();
}

void PlayerPreviewWindow::frame()
{
    if (!m_playback.isPerforming())
        m_frames->stop(); // one last frame where the song stopped
    if (m_follow == Follow::Song)
        showNow();
}

void PlayerPreviewWindow::showNow()
{
    if (!isVisible())
        return;
    const std::shared_ptr<const ScriptReadingResult> result = m_reading.latest();
    if (!result)
        return;
    const PlayerScreenTimeline &screens = *result->screens;
    // Where the player stops reading, nothing after it is ever shown.
    const std::optional<std::size_t> stop = screens.reading().hangsAtLine
                                                ? screens.reading().hangsAtLine
                                                : screens.reading().overflowsAtLine;
    const QString stopped =
        stop ? QStringLiteral("  [%1行目でプレーヤーが止まります]").arg(*stop + 1) : QString();
    const SongTimeline *timeline = m_playback.timeline();
    const auto where = [timeline](std::int64_t tick) {
        if (!timeline)
            return QString();
        const BeatPlace b = timeline->beatAt(tick);
        return QStringLiteral("%1小節 %2拍").arg(b.bar).arg(b.beat);
    };
    if (m_follow == Follow::Line && m_line >= 0) {
        const auto line = static_cast<std::size_t>(m_line);
        m_screen->setScreen(screens.atLine(line));
        const QString at = where(screens.tickOfLine(line));
        m_position->setText((at.isEmpty() ? QStringLiteral("%1行目").arg(m_line + 1)
                                          : QStringLiteral("%1行目 (%2)").arg(m_line + 1).arg(at)) +
                            stopped);
        return;
    }
    const std::int64_t tick = m_playback.songTickNow();
    m_screen->setScreen(screens.at(tick));
    m_position->setText(where(tick) + stopped);
}

} // namespace velkan
