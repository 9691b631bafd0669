#include "platform/LockKeys.h"

#include <QDir>
#include <QFile>

namespace velkan {
namespace {
std::optional<bool> readLed(const QString &suffix)
{
    const QDir leds(QStringLiteral("/sys/class/leds"));
    if (!leds.exists())
        return std::nullopt;
    std::optional<bool> state;
    for (const QString &name : leds.entryList({QStringLiteral("*::") + suffix}, QDir::AllEntries)) {
        QFile f(leds.filePath(name) + QStringLiteral("/brightness"));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const bool on = f.readAll().trimmed().toInt() > 0;
        state = state.value_or(false) || on;
    }
    return state;
}
} // namespace

LockState readLockState()
{
    return {readLed(QStringLiteral("kana")), readLed(QStringLiteral("capslock")),
            readLed(QStringLiteral("numlock")), readLed(QStringLiteral("scrolllock"))};
}

} // namespace velkan
