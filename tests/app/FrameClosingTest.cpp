#include "../form/ManualClock.h"
#include "midi/SmfBuilder.h"
#include "support/FormTestSupport.h"

#include "app/MainFrame.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"
#include "platform/HelpWindow.h"
#include "support/Actions.h"

#include <QAction>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>

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

// What exec() returns when the loop was still running a second after the close.
constexpr int kStillRunning = 99;

class FrameClosingTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        Playback::setSequencerFactory([this] { return std::make_unique<SharedSequencer>(device); });
        Playback::setTimeSourceFactory([this] { return clock; });
    }
    void TearDown() override
    {
        delete frame.data();
        HelpWindow::close();
        Playback::setSequencerFactory({});
        Playback::setTimeSourceFactory({});
        SeamedTest::TearDown();
    }

    // A frame with a song playing and the manual open: all that closing it has to end.
    void playWithTheManualOpen()
    {
        if (!frame)
            frame = new MainFrame;
        frame->show();
        frame->view()->document().setModified(false);
        velkan::test::TrackBuilder t;
        t.tempo(0, 500000).timeSignature(0, 4, 2).note(0, 60).endOfTrack(64 * 120);
        device->setSongLength(64);
        FileDialog::setNextFileName(
            writeTemp(QStringLiteral("song.mid"), velkan::test::smf(480, {t})));
        test::triggerAction(frame->view(), "actionMidiLoad");
        test::triggerAction(frame->view(), "actionStart");
        ASSERT_TRUE(frame->view()->playback()->isPerforming());
        frame->action(cmd::Help)->trigger();
        ASSERT_TRUE(HelpWindow::isOpen());
        device->clearCalls();
    }

    std::shared_ptr<FakeSequencer> device = std::make_shared<FakeSequencer>();
    std::shared_ptr<velkan::test::ManualClock> clock =
        std::make_shared<velkan::test::ManualClock>();
    QPointer<MainFrame> frame;
};

} // namespace

// Closed as a user closes it, from inside the running event loop: the loop
// ends, and with it the manual's window, the performance and the device; a
// Cancel at the unsaved-changes question keeps all of them.
TEST_F(FrameClosingTest, ClosingTheFrameEndsTheProgram)
{
    if (HelpWindow::contentsPath().isEmpty())
        GTEST_SKIP() << "the manual is copied beside the editor when it is built";
    const struct {
        const char *how;
        std::function<void(MainFrame *)> close;
        bool cancel;
    } cases[] = {
        {"close()", [](MainFrame *f) { f->close(); }, false},
        {"exit command", [](MainFrame *f) { f->action(cmd::Exit)->trigger(); }, false},
        // As the title bar's close button asks it.
        {"window system", [](MainFrame *f) { f->windowHandle()->close(); }, false},
        {"close(), cancelled", [](MainFrame *f) { f->close(); }, true},
        {"window system, cancelled", [](MainFrame *f) { f->windowHandle()->close(); }, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.how);
        playWithTheManualOpen();
        frame->view()->document().setModified(c.cancel);
        if (c.cancel)
            MessageBox::setNextAnswer(MessageBox::Cancel);
        QTimer stillRunning;
        stillRunning.setSingleShot(true);
        QObject::connect(&stillRunning, &QTimer::timeout,
                         [] { QCoreApplication::exit(kStillRunning); });
        QTimer::singleShot(0, qApp, [&] {
            c.close(frame);
            stillRunning.start(1000);
        });

        EXPECT_EQ(QCoreApplication::exec(), c.cancel ? kStillRunning : 0);
        EXPECT_EQ(HelpWindow::isOpen(), c.cancel);
        EXPECT_EQ(device->isOpen(), c.cancel);
        EXPECT_EQ(device->isPlaying(), c.cancel);
        const std::vector<Op> ended{Op::Stop, Op::Close};
        EXPECT_EQ(device->ops(), c.cancel ? std::vector<Op>{} : ended);
        if (c.cancel) {
            ASSERT_FALSE(frame.isNull());
            EXPECT_TRUE(frame->isVisible());
        }
    }
}
