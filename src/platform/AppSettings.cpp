#include "platform/AppSettings.h"

#include <QSettings>

#include <algorithm>
#include <array>

namespace velkan {

namespace {

constexpr const char *kSpeedKey = "playback/speedPercent";
constexpr const char *kPreRollKey = "playback/preRollBars";
constexpr const char *kGridKey = "stamp/grid";
constexpr const char *kTapOffsetKey = "stamp/tapOffsetMs";
constexpr const char *kSoundFontKey = "audio/soundFont";
constexpr const char *kDriverKey = "audio/driver";

QString keyOf(const char *key)
{
    return QString::fromLatin1(key);
}

// The nearest step of 5 within the range.
int speedStep(int percent)
{
    const int clamped =
        std::clamp(percent, AppSettings::minSpeedPercent, AppSettings::maxSpeedPercent);
    const int step = AppSettings::speedPercentStep;
    return (clamped + step / 2) / step * step;
}

} // namespace

AppSettings::AppSettings()
    : m_settings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                             QStringLiteral("Velkan"), QStringLiteral("Velkan")))
{
}

AppSettings::~AppSettings() = default;

int AppSettings::readInt(const char *key, int fallback, int low, int high) const
{
    bool ok = false;
    const int value = m_settings->value(keyOf(key)).toInt(&ok);
    return ok ? std::clamp(value, low, high) : fallback;
}

int AppSettings::speedPercent() const
{
    return speedStep(readInt(kSpeedKey, defaultSpeedPercent, minSpeedPercent, maxSpeedPercent));
}

void AppSettings::setSpeedPercent(int percent)
{
    m_settings->setValue(keyOf(kSpeedKey), speedStep(percent));
}

StampGrid AppSettings::stampGrid() const
{
    return gridOfName(m_settings->value(keyOf(kGridKey)).toString()).value_or(StampGrid::Quarter);
}

void AppSettings::setStampGrid(StampGrid grid)
{
    m_settings->setValue(keyOf(kGridKey), gridName(grid));
}

int AppSettings::tapOffsetMs() const
{
    return readInt(kTapOffsetKey, 0, minTapOffsetMs, maxTapOffsetMs);
}

bool AppSettings::hasTapOffset() const
{
    return m_settings->contains(keyOf(kTapOffsetKey));
}

void AppSettings::setTapOffsetMs(int ms)
{
    m_settings->setValue(keyOf(kTapOffsetKey), std::clamp(ms, minTapOffsetMs, maxTapOffsetMs));
}

int AppSettings::preRollBars() const
{
    return readInt(kPreRollKey, defaultPreRollBars, 0, maxPreRollBars);
}

void AppSettings::setPreRollBars(int bars)
{
    m_settings->setValue(keyOf(kPreRollKey), std::clamp(bars, 0, maxPreRollBars));
}

QString AppSettings::soundFont() const
{
    return m_settings->value(keyOf(kSoundFontKey)).toString();
}

void AppSettings::setSoundFont(const QString &path)
{
    m_settings->setValue(keyOf(kSoundFontKey), path);
}

QString AppSettings::audioDriver() const
{
    return m_settings->value(keyOf(kDriverKey)).toString();
}

void AppSettings::setAudioDriver(const QString &driver)
{
    m_settings->setValue(keyOf(kDriverKey), driver);
}

void AppSettings::sync()
{
    m_settings->sync();
}

QString AppSettings::gridName(StampGrid grid)
{
    const std::string_view word = velkan::gridName(grid);
    return QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()));
}

std::optional<StampGrid> AppSettings::gridOfName(const QString &name)
{
    return parseGrid(name.toStdString());
}

} // namespace velkan
