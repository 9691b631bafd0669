#include "platform/AppSettings.h"
#include "platform/FluidSynthSequencer.h"

#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <cstdlib>

using velkan::AppSettings;
using velkan::StampGrid;

namespace {

// Settings go to a folder of the test's own, never the user's.
class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
    }
    // The raw value under `key`, as another program (or an older Velkan) left it.
    void store(const char *key, const QVariant &value)
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velkan"),
                  QStringLiteral("Velkan"))
            .setValue(QString::fromLatin1(key), value);
    }

    QTemporaryDir m_dir;
};

} // namespace

TEST_F(AppSettingsTest, DefaultsWhenNothingIsStored)
{
    const AppSettings settings;
    EXPECT_EQ(settings.speedPercent(), 100);
    EXPECT_EQ(settings.stampGrid(), StampGrid::Quarter);
    EXPECT_EQ(settings.tapOffsetMs(), 0);
    EXPECT_EQ(settings.preRollBars(), 1);
    EXPECT_TRUE(settings.soundFont().isEmpty());
    EXPECT_TRUE(settings.audioDriver().isEmpty());
}

TEST_F(AppSettingsTest, ValuesOutliveTheObjectAndAreHeldToTheirRanges)
{
    const struct {
        int speed, speedRead;
        int tap, tapRead;
        int bars, barsRead;
    } cases[] = {
        {50, 50, -500, -500, 0, 0},  {150, 150, 500, 500, 8, 8},   {85, 85, 37, 37, 3, 3},
        {49, 50, -501, -500, -1, 0}, {151, 150, 501, 500, 9, 8},   {87, 85, 0, 0, 1, 1},
        {88, 90, -12, -12, 100, 8},  {0, 50, -100000, -500, 2, 2},
    };
    for (const auto &c : cases) {
        {
            AppSettings settings;
            settings.setSpeedPercent(c.speed);
            settings.setTapOffsetMs(c.tap);
            settings.setPreRollBars(c.bars);
        }
        const AppSettings read;
        EXPECT_EQ(read.speedPercent(), c.speedRead) << c.speed;
        EXPECT_EQ(read.tapOffsetMs(), c.tapRead) << c.tap;
        EXPECT_EQ(read.preRollBars(), c.barsRead) << c.bars;
    }
    for (const StampGrid grid :
         {StampGrid::Eighth, StampGrid::Sixteenth, StampGrid::Step, StampGrid::Quarter}) {
        AppSettings().setStampGrid(grid);
        EXPECT_EQ(AppSettings().stampGrid(), grid);
    }
    AppSettings().setSoundFont(QStringLiteral("/home/う/音色.sf2"));
    AppSettings().setAudioDriver(QStringLiteral("pulseaudio"));
    EXPECT_EQ(AppSettings().soundFont(), QStringLiteral("/home/う/音色.sf2"));
    EXPECT_EQ(AppSettings().audioDriver(), QStringLiteral("pulseaudio"));
}

TEST_F(AppSettingsTest, StoredValuesAreReadByTheirNamesAndOddOnesGiveWay)
{
    const struct {
        const char *grid;
        StampGrid read;
    } grids[] = {{"4", StampGrid::Quarter},    {"8", StampGrid::Eighth},
                 {"16", StampGrid::Sixteenth}, {"step", StampGrid::Step},
                 {"32", StampGrid::Quarter},   {"", StampGrid::Quarter}};
    for (const auto &g : grids) {
        store("stamp/grid", QString::fromLatin1(g.grid));
        EXPECT_EQ(AppSettings().stampGrid(), g.read) << g.grid;
    }
    store("playback/speedPercent", QStringLiteral("fast"));
    store("playback/preRollBars", QStringLiteral("12"));
    store("stamp/tapOffsetMs", QStringLiteral("-40"));
    const AppSettings settings;
    EXPECT_EQ(settings.speedPercent(), 100);
    EXPECT_EQ(settings.preRollBars(), 8);
    EXPECT_EQ(settings.tapOffsetMs(), -40);
}

TEST_F(AppSettingsTest, TheSequencerTakesItsChoicesUnlessTheEnvironmentNamesOthers)
{
    const char *names[] = {"VELKAN_SOUNDFONT", "VELKAN_AUDIO_DRIVER"};
    std::string saved[2];
    for (int i = 0; i < 2; ++i) {
        if (const char *value = std::getenv(names[i]))
            saved[i] = value;
        ::unsetenv(names[i]);
    }
    AppSettings().setSoundFont(QStringLiteral("/fonts/chosen.sf2"));
    AppSettings().setAudioDriver(QStringLiteral("alsa"));
    EXPECT_EQ(velkan::FluidSynthSequencer::findSoundFont(), "/fonts/chosen.sf2");
    EXPECT_EQ(velkan::FluidSynthSequencer::chosenAudioDriver(), "alsa");

    ::setenv("VELKAN_SOUNDFONT", "/fonts/env.sf2", 1);
    ::setenv("VELKAN_AUDIO_DRIVER", "file", 1);
    EXPECT_EQ(velkan::FluidSynthSequencer::findSoundFont(), "/fonts/env.sf2");
    EXPECT_EQ(velkan::FluidSynthSequencer::chosenAudioDriver(), "file");

    ::unsetenv("VELKAN_AUDIO_DRIVER");
    AppSettings().setAudioDriver({});
    EXPECT_EQ(velkan::FluidSynthSequencer::chosenAudioDriver(), ""); // FluidSynth's own

    for (int i = 0; i < 2; ++i) {
        if (saved[i].empty())
            ::unsetenv(names[i]);
        else
            ::setenv(names[i], saved[i].c_str(), 1);
    }
}
