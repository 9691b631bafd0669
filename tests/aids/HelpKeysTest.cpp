// F1 in each dialog and panel opens its own section of the manual, and every
// section the program opens or a page links to is in the manual.
#include "support/FormTestSupport.h"

#include "aids/LyricLayoutDialog.h"
#include "aids/LyricRevealDialog.h"
#include "aids/PaletteDialog.h"
#include "aids/PlayerPreview.h"
#include "aids/PreferencesDialog.h"
#include "aids/ScriptCheckPanel.h"
#include "aids/TapLatencyDialog.h"
#include "aids/TimingOffsetDialog.h"
#include "aids/core/PaletteColour.h"
#include "app/MainFrame.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "platform/FakeSequencer.h"
#include "platform/HelpWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

#include <array>
#include <map>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

class HelpKeysTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        if (HelpWindow::contentsPath().isEmpty())
            GTEST_SKIP() << "the manual is copied beside the editor when it is built";
        Playback::setSequencerFactory([] { return std::make_unique<FakeSequencer>(); });
        frame = std::make_unique<MainFrame>();
        frame->show();
    }
    void TearDown() override
    {
        HelpWindow::close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        frame.reset();
        Playback::setSequencerFactory({});
        SeamedTest::TearDown();
    }
    // F1 where the focus is inside the window: the section the manual opens at.
    static std::string sectionOnF1(QWidget *window, QWidget *focus)
    {
        HelpWindow::close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        window->show();
        QApplication::setActiveWindow(window->window());
        focus->setFocus();
        QTest::keyClick(focus, Qt::Key_F1);
        return HelpWindow::isOpen() ? HelpWindow::shownSection().toStdString() : "(closed)";
    }
    std::unique_ptr<MainFrame> frame;
};

} // namespace

TEST_F(HelpKeysTest, F1InEachDialogOpensItsSection)
{
    VelkanView *view = frame->view();
    PaletteColour colour;
    TimingOffsetDialog offset(view);
    LyricLayoutDialog layout(*view);
    LyricRevealDialog reveal(*view);
    PaletteDialog palette(colour, view);
    PreferencesDialog preferences(view);
    TapLatencyDialog latency(*view);
    PlayerPreviewWindow *preview = frame->playerPreview();
    ScriptCheckPanel *panel = frame->checkPanel();
    const struct {
        QWidget *window;
        QWidget *focus;
        const char *section;
    } cases[] = {
        {&offset, &offset, "timing-offset"},
        {&layout, &layout, "layout"},
        {&reveal, &reveal, "reveal"},
        {&palette, &palette, "palette"},
        {&preferences, &preferences, "preferences"},
        {&latency, &latency, "tap-latency"},
        {preview, preview, "player-view"},
        // Inside the main window, from a child that has the focus.
        {panel, panel->findChild<QTableView *>(), "script-check"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.section);
        ASSERT_NE(c.focus, nullptr);
        EXPECT_EQ(sectionOnF1(c.window, c.focus), c.section);
        EXPECT_FALSE(HelpWindow::pageOf(QString::fromLatin1(c.section)).isEmpty());
        c.window->hide();
    }
    // Other keys and F1 with a modifier open nothing.
    HelpWindow::close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QTest::keyClick(&offset, Qt::Key_F1, Qt::ShiftModifier);
    QTest::keyClick(&offset, Qt::Key_F2);
    EXPECT_FALSE(HelpWindow::isOpen());
}

// Each anchor is on one page only (a section opens on the first page that
// holds it), and every link or image of a page lands.
TEST_F(HelpKeysTest, ManualLinksLandAndAnchorsAreUnique)
{
    const QDir dir = QFileInfo(HelpWindow::contentsPath()).dir();
    static const QRegularExpression anchor(QStringLiteral(R"re((?:id|name)="([^"]+)")re"));
    static const QRegularExpression link(QStringLiteral(R"re((?:href|src)="([^"#]*)#?([^"]*)")re"));
    std::map<QString, QString> pageOf;         // anchor -> page
    std::vector<std::array<QString, 3>> links; // page, file, anchor
    for (const QString &name : dir.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        for (const auto &m : anchor.globalMatch(html))
            EXPECT_TRUE(pageOf.emplace(m.captured(1), name).second) << m.captured(1).toStdString();
        for (const auto &m : link.globalMatch(html))
            links.push_back({name, m.captured(1), m.captured(2)});
    }
    EXPECT_TRUE(pageOf.count(QStringLiteral("contents")));
    for (const auto &[page, file, section] : links) {
        if (file.startsWith(QStringLiteral("http")))
            continue;
        SCOPED_TRACE((page + QStringLiteral(" -> ") + file + u'#' + section).toStdString());
        EXPECT_TRUE(file.isEmpty() || QFileInfo::exists(dir.filePath(file)));
        if (!section.isEmpty()) {
            EXPECT_EQ(pageOf[section], file.isEmpty() ? page : file);
        }
    }
    EXPECT_FALSE(HelpWindow::showSection(QStringLiteral("no-such-section")));
    EXPECT_FALSE(HelpWindow::isOpen());
}
