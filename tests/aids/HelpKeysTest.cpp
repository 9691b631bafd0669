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

#include <map>
#include <set>

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

// The manual's pages, each with its anchors and the links it holds.
struct Page {
    std::set<QString> anchors;
    std::vector<QString> links;
};

std::map<QString, Page> manualPages()
{
    std::map<QString, Page> pages;
    const QDir dir = QFileInfo(HelpWindow::contentsPath()).dir();
    static const QRegularExpression anchor(QStringLiteral(R"re((?:id|name)="([^"]+)")re"));
    static const QRegularExpression link(QStringLiteral(R"re((?:href|src)="([^"]+)")re"));
    for (const QString &name : dir.entryList({QStringLiteral("*.html")}, QDir::Files)) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString html = QString::fromUtf8(file.readAll());
        Page &page = pages[name];
        for (const auto &m : anchor.globalMatch(html))
            page.anchors.insert(m.captured(1));
        for (const auto &m : link.globalMatch(html))
            page.links.push_back(m.captured(1));
    }
    return pages;
}

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
// holds it), and every link between pages lands on a page and an anchor.
TEST_F(HelpKeysTest, ManualLinksLandAndAnchorsAreUnique)
{
    const std::map<QString, Page> pages = manualPages();
    ASSERT_TRUE(pages.count(QStringLiteral("index.html")));
    std::map<QString, QString> owner;
    for (const auto &[name, page] : pages) {
        for (const QString &a : page.anchors) {
            EXPECT_TRUE(owner.emplace(a, name).second)
                << a.toStdString() << " in " << name.toStdString() << " and "
                << owner[a].toStdString();
        }
    }
    for (const auto &[name, page] : pages) {
        for (const QString &href : page.links) {
            if (href.startsWith(QStringLiteral("http")))
                continue;
            SCOPED_TRACE(name.toStdString() + " -> " + href.toStdString());
            const qsizetype hash = href.indexOf(u'#');
            const QString file = hash < 0 ? href : href.left(hash);
            const QString target = file.isEmpty() ? name : file;
            if (!target.endsWith(QStringLiteral(".html"))) {
                EXPECT_TRUE(QFileInfo::exists(
                    QFileInfo(HelpWindow::contentsPath()).dir().filePath(target)));
                continue;
            }
            ASSERT_TRUE(pages.count(target));
            if (hash >= 0) {
                EXPECT_TRUE(pages.at(target).anchors.count(href.mid(hash + 1)));
            }
        }
    }
    EXPECT_FALSE(HelpWindow::showSection(QStringLiteral("no-such-section")));
    EXPECT_FALSE(HelpWindow::isOpen());
}
