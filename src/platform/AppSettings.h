#pragma once

#include "midi/TapGrid.h"

#include <QString>

#include <memory>
#include <optional>

class QSettings;

namespace velkan {

// The user's choices that outlive the program, kept where the desktop keeps
// every program's settings (organization and application "Velkan"; on this
// platform ~/.config/Velkan/Velkan.conf). A value never set, or one that
// cannot be read, gives its default; numbers are held to their ranges both
// when read and when written.
//
// Each instance reads and writes the same store; one per use is fine.
class AppSettings {
public:
    static constexpr int minSpeedPercent = 50;
    static constexpr int maxSpeedPercent = 150;
    static constexpr int speedPercentStep = 5;
    static constexpr int defaultSpeedPercent = 100;
    static constexpr int minTapOffsetMs = -500;
    static constexpr int maxTapOffsetMs = 500;
    static constexpr int maxPreRollBars = 8;
    static constexpr int defaultPreRollBars = 1;

    AppSettings();
    ~AppSettings();
    AppSettings(const AppSettings &) = delete;
    AppSettings &operator=(const AppSettings &) = delete;

    // Playback speed in percent of the song's tempo: 50 .. 150 in steps of 5.
    int speedPercent() const;
    void setSpeedPercent(int percent);
    // Stored as "4", "8", "16" or "step".
    StampGrid stampGrid() const;
    void setStampGrid(StampGrid grid);
    // How late the user's taps come, in ms (-500 .. 500): taken off each tap.
    int tapOffsetMs() const;
    void setTapOffsetMs(int ms);
    // Whether the author has given a tap offset (measured or typed): only
    // then are taps read back, by it and by the audio output's own delay.
    bool hasTapOffset() const;
    // Bars played before the point a stamp run starts from (0 .. 8).
    int preRollBars() const;
    void setPreRollBars(int bars);
    // The SoundFont to load; empty for the one found among the usual places.
    QString soundFont() const;
    void setSoundFont(const QString &path);
    // FluidSynth's audio.driver; empty for its own default.
    QString audioDriver() const;
    void setAudioDriver(const QString &driver);

    // Writes what was set to the store now (it is written at destruction anyway).
    void sync();

    // The stored word of a grid ("4", "8", "16", "step"), as the tool takes it.
    static QString gridName(StampGrid grid);
    static std::optional<StampGrid> gridOfName(const QString &name);

private:
    int readInt(const char *key, int fallback, int low, int high) const;

    std::unique_ptr<QSettings> m_settings;
};

} // namespace velkan
