#include "../form/FormTestSupport.h"
#include "../form/ManualClock.h"
#include "midi/SmfBuilder.h"

#include "app/MainFrame.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"
#include "platform/HelpWindow.h"

#include <QAction>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>

using namespace velkan;
using velkan::test::SeamedTest;
using Op = FakeSequencer::Op;

namespace {

// The form owns its device and goes with the frame; this one hands every call
// on to a fake the test keeps, so the calls can be read after the frame is gone.
class SharedSequencer final : public Sequencer {
public:
    explicit SharedSequencer(std::shared_ptr<FakeSequencer> fake) : m_fake(std::move(fake)) {}
    SeqResult check(const std::string &path) override { return m_fake->check(path); }
    SeqResult open(const std::string &path) override { return m_fake->open(path); }
    SeqResult close() override { return m_fake->close(); }
    bool isOpen() const override { return m_fake->isOpen(); }
    SeqValue lengthSixteenths() override { return m_fake->lengthSixteenths(); }
    SeqValue positionSixteenths() override { return m_fake->positionSixteenths(); }
    SeqResult playFrom(std::int32_t sixteenths) override { return m_fake->playFrom(sixteenths); }
    SeqResult play() override { return m_fake->play(); }
    SeqResult stop() override { return m_fake->stop(); }
    SeqResult seek(std::int32_t sixteenths) override { return m_fake->seek(sixteenths); }

private:
    std::shared_ptr<FakeSequencer> m_fake;
};

// What exec() returns when the loop was still running a while after the close.
constexpr int kStillRunning = 99;

enum class CloseBy { Close, ExitCommand, WindowSystem };

class FrameClosingTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        device = std::make_shared<FakeSequencer>();
        Playback::setSequencerFactory([this] { return std::make_unique<SharedSequencer>(device); });
        clock = std::make_shared<velkan::test::ManualClock>();
        Playback::setTimeSourceFactory([this] { return clock; });
        frame = new MainFrame;
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
    }
    void TearDown() override
    {
        delete frame.data();
        HelpWindow::close();
        Playback::setSequencerFactory({});
        Playback::setTimeSourceFactory({});
        SeamedTest::TearDown();
    }

    // A song playing and the manual open: what the frame has to end when it closes.
    void playWithTheManualOpen()
    {
        velkan::test::TrackBuilder t;
        t.tempo(0, 500000).timeSignature(0, 4, 2).note(0, 60).endOfTrack(64 * 120);
        device->setSongLength(64);
        FileDialog::setNextFileName(writeTemp(QStringLiteral("song.mid"), velkan::test::smf(480, {t})));
        frame->view()->runCommand(cmd::MidiLoad);
        frame->view()->runCommand(cmd::Start);
        ASSERT_TRUE(frame->view()->playback()->isPerforming());
        frame->action(cmd::Help)->trigger();
        ASSERT_TRUE(HelpWindow::isOpen());
    }

    void closeFrame(CloseBy how)
    {
        switch (how) {
        case CloseBy::Close:
            frame->close();
            break;
        case CloseBy::ExitCommand:
            frame->action(cmd::Exit)->trigger();
            break;
        case CloseBy::WindowSystem:
            // As the title bar's close button asks it.
            frame->windowHandle()->close();
            break;
        }
    }

    // Runs the application's event loop, closing the frame from inside it.
    int runClosingBy(CloseBy how)
    {
        QTimer::singleShot(0, qApp, [this, how] {
            closeFrame(how);
            QTimer::singleShot(1000, qApp, [] { QCoreApplication::exit(kStillRunning); });
        });
        return QCoreApplication::exec();
    }

    std::shared_ptr<FakeSequencer> device;
    std::shared_ptr<velkan::test::ManualClock> clock;
    QPointer<MainFrame> frame;
};

} // namespace

TEST_F(FrameClosingTest, ClosingTheFrameEndsTheProgram)
{
    if (HelpWindow::contentsPath().isEmpty())
        GTEST_SKIP() << "the manual is copied beside the editor when it is built";
    for (CloseBy how : {CloseBy::Close, CloseBy::ExitCommand, CloseBy::WindowSystem}) {
        SCOPED_TRACE(static_cast<int>(how));
        if (!frame)
            frame = new MainFrame;
        frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        playWithTheManualOpen();
        device->clearCalls();

        EXPECT_EQ(runClosingBy(how), 0);
        EXPECT_FALSE(HelpWindow::isOpen());
        EXPECT_EQ(device->ops(), (std::vector<Op>{Op::Stop, Op::Close}));
        EXPECT_FALSE(device->isPlaying());
        EXPECT_FALSE(device->isOpen());
    }
}

TEST_F(FrameClosingTest, CancelKeepsEverythingOpen)
{
    if (HelpWindow::contentsPath().isEmpty())
        GTEST_SKIP() << "the manual is copied beside the editor when it is built";
    for (CloseBy how : {CloseBy::Close, CloseBy::WindowSystem}) {
        SCOPED_TRACE(static_cast<int>(how));
        playWithTheManualOpen();
        frame->view()->scriptList().assign({"changed"});
        frame->view()->scriptList().setModified(true);
        device->clearCalls();
        MessageBox::clearShown();
        MessageBox::setNextAnswer(MessageBox::Cancel);

        EXPECT_EQ(runClosingBy(how), kStillRunning);
        EXPECT_EQ(MessageBox::shownTexts().size(), 1);
        ASSERT_FALSE(frame.isNull());
        EXPECT_TRUE(frame->isVisible());
        EXPECT_TRUE(HelpWindow::isOpen());
        EXPECT_TRUE(frame->view()->playback()->isPerforming());
        EXPECT_TRUE(device->ops().empty());
    }
}
