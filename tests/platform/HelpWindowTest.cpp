#include "platform/HelpWindow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

using namespace velkan;

namespace {

QWidget *shownHelpWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QStringLiteral("helpWindow") && w->isVisible())
            return w;
    }
    return nullptr;
}

} // namespace

// The manual's window closes from the keyboard as other viewers do; other
// keys leave it open.
TEST(HelpWindowTest, ClosesWithEscapeAndCtrlW)
{
    if (HelpWindow::contentsPath().isEmpty())
        GTEST_SKIP() << "the manual is copied beside the editor when it is built";
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool closes;
    } cases[] = {
        {Qt::Key_Escape, Qt::NoModifier, true},
        {Qt::Key_W, Qt::ControlModifier, true},
        {Qt::Key_W, Qt::NoModifier, false},
        {Qt::Key_Q, Qt::ControlModifier, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QKeySequence(c.key | c.modifiers).toString().toStdString());
        ASSERT_TRUE(HelpWindow::showContents());
        QWidget *window = shownHelpWindow();
        ASSERT_NE(window, nullptr);
        QApplication::setActiveWindow(window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, c.key,
                        c.modifiers);
        EXPECT_EQ(HelpWindow::isOpen(), !c.closes);
        HelpWindow::close();
        // A closed window goes at the next turn of the event loop; the next case opens a new one.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
