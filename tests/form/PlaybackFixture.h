#pragma once

#include "ManualClock.h"
#include "midi/SmfBuilder.h"
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"

#include <QLineEdit>
#include <QTest>

namespace velkan::test {

constexpr std::uint32_t kHalfSecond = 500000; // a quarter note every 0.5 s

// A form with a fake device and a clock the test moves: songs of a given
// meter at a quarter every 0.5 s, played and tapped.
class PlaybackFixture : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        Playback::setSequencerFactory([this] {
            auto fake = std::make_unique<FakeSequencer>();
            device = fake.get();
            return fake;
        });
        clock = std::make_shared<ManualClock>();
        Playback::setTimeSourceFactory([this] { return clock; });
        view = std::make_unique<VelkanView>();
        view->show();
        playback = view->playback();
    }
    void TearDown() override
    {
        view.reset();
        Playback::setSequencerFactory({});
        Playback::setTimeSourceFactory({});
        SeamedTest::TearDown();
    }

    QString song(int numerator, int exponent, std::int32_t lengthSixteenths)
    {
        TrackBuilder t;
        t.tempo(0, kHalfSecond)
            .timeSignature(0, numerator, exponent)
            .note(0, 60)
            .endOfTrack(static_cast<std::uint32_t>(lengthSixteenths) * 120);
        device->setSongLength(lengthSixteenths);
        return writeTemp(QStringLiteral("song.mid"), smf(480, {t}));
    }
    void load(const QString &path)
    {
        FileDialog::setNextFileName(path);
        test::triggerAction(view, "actionMidiLoad");
    }
    // Lets `ms` of song time pass: the beat timer runs its ticks, the UI shows them.
    void play(double ms)
    {
        clock->advanceMs(ms, [this] { return playback->isTimerRunning(); });
        QCoreApplication::processEvents();
    }
    QString bar() const { return view->barBox()->text(); }
    QString beat() const { return view->beatBox()->text(); }
    void tap()
    {
        view->listView()->setFocus();
        QTest::keyClick(view->listView(), Qt::Key_Space);
    }
    void setLyrics()
    {
        view->document().assign({"h0", "h1", "h2", "h3", "lyric", "next", "last"});
        view->document().setModified(false);
    }

    FakeSequencer *device = nullptr;
    std::shared_ptr<ManualClock> clock;
    std::unique_ptr<VelkanView> view;
    Playback *playback = nullptr;
};

} // namespace velkan::test
