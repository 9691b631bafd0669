#include "aids/TapLatencyDialog.h"

#include "form/Playback.h"
#include "form/VelkanView.h"
#include "midi/ClickTrack.h"
#include "midi/MidiReader.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/MessageBox.h"
#include "platform/Sequencer.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QVBoxLayout>
#include <cmath>

namespace velkan {

namespace {

constexpr int kClickBpm = 120;

QString milliseconds(double ms)
{
    return QString::number(ms, 'f', 1);
}

} // namespace

TapLatencyDialog::TapLatencyDialog(VelkanView &view, QWidget *parent)
    : QDialog(parent ? parent : &view), m_view(view)
{
    setObjectName(QStringLiteral("tapLatencyDialog"));
    setWindowTitle(QStringLiteral("タップ遅れの測定"));
    HelpWindow::addHelpKey(this, QStringLiteral("tap-latency"));
    setFont(Fonts::formFont());
    setFocusPolicy(Qt::StrongFocus);

    auto *how = new QLabel(
        QStringLiteral("「開始」を押すと曲の初めの%1拍 (曲がなければクリック音) が鳴ります。\n"
                       "拍が聞こえるたびにスペースキーを押してください。")
            .arg(kBeats),
        this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("tapStatus"));
    m_resultText = new QLabel(this);
    m_resultText->setObjectName(QStringLiteral("tapResult"));
    m_output = new QLabel(this);
    m_output->setObjectName(QStringLiteral("outputLatency"));
    m_start = new QPushButton(QStringLiteral("開始(&S)"), this);
    m_start->setObjectName(QStringLiteral("tapStart"));
    m_save = new QPushButton(QStringLiteral("保存(&V)"), this);
    m_save->setObjectName(QStringLiteral("tapSave"));
    m_save->setEnabled(false);
    m_close = new QPushButton(QStringLiteral("閉じる"), this);
    m_close->setObjectName(QStringLiteral("tapClose"));
    // Enter does not press a button by itself while taps are taken.
    for (QPushButton *b : {m_start, m_save, m_close})
        b->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(how);
    layout->addSpacing(6);
    layout->addWidget(m_status);
    layout->addWidget(m_resultText);
    layout->addWidget(m_output);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    const Playback &playback = *view.playback();
    m_status->setText(QStringLiteral("今のタップ遅れ: %1 ms").arg(playback.tapOffsetMs()));
    connect(m_start, &QPushButton::clicked, this, [this] { startRun(); });
    connect(m_save, &QPushButton::clicked, this, &TapLatencyDialog::save);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    m_poll.setInterval(20);
    connect(&m_poll, &QTimer::timeout, this, &TapLatencyDialog::poll);
}

TapLatencyDialog::~TapLatencyDialog()
{
    stopRun();
    if (m_sequencer)
        m_sequencer->close();
}

void TapLatencyDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The device is made ready once the dialog shows.
    QTimer::singleShot(0, this, [this] { prepare(); });
}

bool TapLatencyDialog::prepare()
{
    if (m_sequencer)
        return true;
    Playback &playback = *m_view.playback();
    playback.end(); // the song's own performance stops for the run

    // The song as loaded, or a click.
    std::string path;
    if (playback.isSongOpen() && playback.sharedTimeline()) {
        path = QFile::encodeName(playback.songPath()).toStdString();
        m_timeline = playback.sharedTimeline();
    } else {
        const std::string image = clickTrackSmf(kBeats + 1, kClickBpm);
        MidiReadResult read = readMidiImage(image);
        if (!read.ok() || !read.timeline || !m_click.open())
            return false;
        m_click.resize(0);
        m_click.write(image.data(), static_cast<qint64>(image.size()));
        m_click.flush();
        path = QFile::encodeName(m_click.fileName()).toStdString();
        m_timeline = std::make_shared<const SongTimeline>(std::move(*read.timeline));
    }

    auto sequencer = Playback::createSequencer();
    SeqResult opened;
    {
        // The first open loads the SoundFont, which can take a few seconds.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
        opened = sequencer->open(path);
    }
    if (!opened) {
        MessageBox::show(this, QString::fromStdString(opened.error));
        return false;
    }
    m_speed = playback.speedPercent() / 100.0;
    sequencer->setSpeed(m_speed);
    const SeqValue length = sequencer->lengthSixteenths();
    m_length = length ? length.value : 0;
    m_sequencer = std::move(sequencer);
    return true;
}

bool TapLatencyDialog::startRun()
{
    stopRun();
    // Ready beforehand, the beats start the moment 開始 is pressed.
    if (!prepare())
        return false;
    const std::shared_ptr<const SongTimeline> timeline = m_timeline;
    Playback &playback = *m_view.playback();

    // The first beats of the song, as they will sound.
    std::vector<std::int64_t> ticks;
    std::int64_t tick = 0;
    for (int i = 0; i < kBeats; ++i) {
        const BeatPlace b = timeline->beatAt(tick);
        ticks.push_back(b.startTick);
        tick = b.endTick;
    }
    m_taps.clear();
    m_result.reset();
    if (!m_sequencer->playFrom(0))
        return false;
    m_clock.setTimeline(timeline);
    m_clock.runFrom(0, playback.nowNanos(), m_length, m_speed);
    m_beats.clear();
    for (const std::int64_t t : ticks)
        m_beats.push_back(m_clock.nanosOf(t));
    // Half a beat after the last for its late taps.
    const std::int64_t last = m_beats.back();
    m_endNanos = last + (m_clock.nanosOf(tick) - last) / 2;

    m_running = true;
    m_start->setEnabled(false);
    m_save->setEnabled(false);
    m_close->setEnabled(false);
    m_resultText->clear();
    m_status->setText(QStringLiteral("拍: 0 / %1").arg(kBeats));
    setFocus();
    m_poll.start();
    return true;
}

void TapLatencyDialog::tap(std::int64_t nanos)
{
    if (m_running)
        m_taps.push_back(nanos);
}

void TapLatencyDialog::poll()
{
    if (!m_running)
        return;
    const std::int64_t now = m_view.playback()->nowNanos();
    const auto passed =
        std::count_if(m_beats.begin(), m_beats.end(), [now](std::int64_t b) { return b <= now; });
    m_status->setText(QStringLiteral("拍: %1 / %2").arg(passed).arg(kBeats));
    if (now < m_endNanos)
        return;
    m_outputLatencyNanos = m_sequencer->outputLatencyNanos();
    stopRun();
    m_result = calibrateTaps(m_beats, m_taps);
    showResult();
}

void TapLatencyDialog::stopRun()
{
    m_poll.stop();
    if (m_sequencer && m_running)
        m_sequencer->stop();
    if (m_running) {
        m_running = false;
        m_start->setEnabled(true);
        m_close->setEnabled(true);
        setFocus();
    }
}

std::optional<int> TapLatencyDialog::offsetToSave() const
{
    if (!m_result)
        return std::nullopt;
    return static_cast<int>(std::lround(m_result->meanMs - m_outputLatencyNanos / 1e6));
}

void TapLatencyDialog::showResult()
{
    const double output = m_outputLatencyNanos / 1e6;
    m_output->setText(QStringLiteral("音の出力の遅れ: %1 ms (タップを読むときに自動で加えます)")
                          .arg(milliseconds(output)));
    if (!m_result) {
        m_resultText->setText(QStringLiteral("タップが足りません。もう一度測ってください。"));
        m_save->setEnabled(false);
        return;
    }
    m_resultText->setText(QStringLiteral("平均の遅れ: %1 ms　ばらつき: %2 ms (%3 回)\n"
                                         "保存するタップ遅れ: %4 ms")
                              .arg(milliseconds(m_result->meanMs))
                              .arg(milliseconds(m_result->spreadMs))
                              .arg(m_result->usedPresses)
                              .arg(*offsetToSave()));
    m_save->setEnabled(true);
}

void TapLatencyDialog::save()
{
    const std::optional<int> offset = offsetToSave();
    if (!offset)
        return;
    m_view.playback()->setTapOffsetMs(*offset);
    m_status->setText(QStringLiteral("保存しました。今のタップ遅れ: %1 ms")
                          .arg(m_view.playback()->tapOffsetMs()));
    m_save->setEnabled(false);
}

void TapLatencyDialog::keyPressEvent(QKeyEvent *event)
{
    // Space is the tap key here, never a button's: a late tap after the run
    // must not save or close.
    if (event->key() == Qt::Key_Space) {
        if (m_running && !event->isAutoRepeat())
            tap(m_view.playback()->pressNanos(event->timestamp()));
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TapLatencyDialog::reject()
{
    stopRun();
    QDialog::reject();
}

} // namespace velkan
