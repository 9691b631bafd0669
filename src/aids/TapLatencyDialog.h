#pragma once

#include "midi/BeatClock.h"
#include "midi/TapCalibration.h"

#include <QDialog>
#include <QTemporaryFile>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;

namespace velkan {

class Sequencer;
class VelkanView;

// "タップ遅れの測定": the song's first beats (or a click, when no song is
// loaded) play while the author taps Space on each; the dialog shows how late
// the taps came on average and how much they spread, and saves the offset
// taps are then read back by. The audio output's own delay is shown apart
// and added to the saved offset whenever taps are read.
class TapLatencyDialog : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBeats = 16;

    explicit TapLatencyDialog(VelkanView &view, QWidget *parent = nullptr);
    ~TapLatencyDialog() override;

    // Plays the beats and takes taps; false when the device would not play.
    bool startRun();
    bool isRunning() const { return m_running; }
    // A tap at a moment of the form's clock (nanoseconds).
    void tap(std::int64_t nanos);
    // The beats of the run, as they sound on that clock.
    const std::vector<std::int64_t> &beats() const { return m_beats; }
    // Ends the run once its last beat has passed; the result is then shown.
    void poll();
    const std::optional<TapCalibration> &result() const { return m_result; }
    // The offset the save button keeps, in ms (the taps' lateness less the
    // output's own delay).
    std::optional<int> offsetToSave() const;
    void save();

    QLabel *statusLabel() const { return m_status; }
    QLabel *resultLabel() const { return m_resultText; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

private:
    // Opens the device on the song or the click, once.
    bool prepare();
    void stopRun();
    void showResult();

    VelkanView &m_view;
    std::unique_ptr<Sequencer> m_sequencer;
    BeatClock m_clock;
    std::shared_ptr<const SongTimeline> m_timeline;
    std::int32_t m_length = 0;
    double m_speed = 1.0;
    QTemporaryFile m_click;
    std::vector<std::int64_t> m_beats;
    std::vector<std::int64_t> m_taps;
    std::int64_t m_endNanos = 0;
    std::int64_t m_outputLatencyNanos = 0;
    bool m_running = false;
    std::optional<TapCalibration> m_result;
    QTimer m_poll;
    QLabel *m_status = nullptr;
    QLabel *m_resultText = nullptr;
    QLabel *m_output = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_close = nullptr;
};

} // namespace velkan
