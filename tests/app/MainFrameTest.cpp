#include "support/FormTestSupport.h"

#include "app/MainFrame.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/HelpWindow.h"
#include "support/Actions.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

class FrameTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        MainFrame::setLockStateReader([this] { return locks; });
        frame = new MainFrame;
        frame->show();
        QApplication::setActiveWindow(frame);
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    }
    void TearDown() override
    {
        delete frame.data();
        MainFrame::setLockStateReader({});
        SeamedTest::TearDown();
    }
    VelkanView *view() const { return frame->view(); }

    // Lists a menu as "text:id" entries, "-" for separators.
    static QStringList describe(QMenu *menu)
    {
        QStringList out;
        for (QAction *a : menu->actions())
            out << (a->isSeparator()
                        ? QStringLiteral("-")
                        : a->text() + QLatin1Char(':') + QString::number(a->data().toInt()));
        return out;
    }

    // A closed frame deletes itself.
    QPointer<MainFrame> frame;
    LockState locks{true, true, true, true};
};

} // namespace

TEST_F(FrameTest, MenuBarInOrderWithIds)
{
    QStringList titles;
    for (QAction *a : frame->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, (QStringList{QStringLiteral("ﾌｧｲﾙ(&F)"), QStringLiteral("編集(&E)"),
                                   QStringLiteral("演奏(&P)"), QStringLiteral("設定(&S)"),
                                   QStringLiteral("コマンド(&C)"), QStringLiteral("表示(&V)"),
                                   QStringLiteral("ﾍﾙﾌﾟ(&H)")}));
    const auto menu = [&](const char *name) {
        return frame->findChild<QMenu *>(QString::fromLatin1(name));
    };
    EXPECT_EQ(describe(menu("fileMenu")),
              (QStringList{QStringLiteral("MIDIの歌詞から作成:32809"), QStringLiteral("-"),
                           QStringLiteral("Velkanの終了(&X):57665")}));
    EXPECT_EQ(describe(menu("editMenu")),
              (QStringList{QStringLiteral("元に戻す(&U):0"), QStringLiteral("やり直し(&R):0"),
                           QStringLiteral("-"), QStringLiteral("タイミングを早める(&A):32801"),
                           QStringLiteral("タイミングを遅らせる(&L):32802")}));
    EXPECT_EQ(describe(menu("playMenu")),
              (QStringList{QStringLiteral("選択行から開始(&F):32797"),
                           QStringLiteral("範囲を再タップ(&R):32798"), QStringLiteral("-"),
                           QStringLiteral("遅く(&-):32799"), QStringLiteral("速く(&+):32800"),
                           QStringLiteral("-"), QStringLiteral("刻みの単位(&G):0"),
                           QStringLiteral("-"), QStringLiteral("タップ遅れの測定(&L)...:32807")}));
    EXPECT_EQ(describe(menu("settingsMenu")),
              (QStringList{QStringLiteral("歌詞表示位置の設定:32771"), QStringLiteral("-"),
                           QStringLiteral("歌詞の出現/消去方法:32792"), QStringLiteral("-"),
                           QStringLiteral("歌詞追い時間の調整:32791"), QStringLiteral("-"),
                           QStringLiteral("スクリプトの検査(&K):32796"), QStringLiteral("-"),
                           QStringLiteral("環境設定(&P)...:32808")}));
    EXPECT_EQ(
        describe(menu("commandMenu")).join(QLatin1Char(' ')),
        QStringLiteral("WMODE:32772 OFFSET:32786 WAIT:32773 LOCATE:32774 COLOR:32775 TON:32787 "
                       "TCLS:32776 ESC:32788 SCROLL:32777 - GMODE:32778 GSCREEN:32779 GLINE:32780 "
                       "GCIRCLE:32781 GON:32789 GCLS:32790 GMOVE:32782 - PAL:32783 FADE:32784 "
                       "MAG:32785"));
    EXPECT_EQ(describe(menu("viewMenu")),
              (QStringList{QStringLiteral("ｽﾃｰﾀｽ ﾊﾞｰ(&S):59393"),
                           QStringLiteral("プレーヤー表示(&P):32795")}));
    EXPECT_EQ(describe(menu("helpMenu")),
              (QStringList{QStringLiteral("Velkanのヘルプ(&H)...\tCtrl+H:32794"),
                           QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Velkan) (&A)...:57664")}));
}

TEST_F(FrameTest, MenuCommandsReachTheForm)
{
    int hits = 0;
    for (int id :
         {int(cmd::LyricLayout), int(cmd::LyricReveal), int(cmd::TimingOffset), 32772, 32790}) {
        // The menu item is the form's own action.
        test::replaceHandler(view()->action(id), [&hits] { ++hits; });
        for (QMenu *menu : frame->menuBar()->findChildren<QMenu *>()) {
            for (QAction *item : menu->actions()) {
                if (item->data().toInt() == id && !item->isSeparator())
                    item->trigger();
            }
        }
    }
    EXPECT_EQ(hits, 5);
}

TEST_F(FrameTest, EveryCommandOfTheFormHasAHandler)
{
    std::vector<int> ids = {cmd::MidiLoad,     cmd::LyricsLoad, cmd::WrdSave,     cmd::Start,
                            cmd::Pause,        cmd::End,        cmd::Change,      cmd::Delete,
                            cmd::Overwrite,    cmd::Insert,     cmd::LyricLayout, cmd::LyricReveal,
                            cmd::TimingOffset, cmd::Help};
    for (int id = cmd::TemplateFirst; id <= cmd::TemplateLast; ++id)
        ids.push_back(id);
    for (int id : ids) {
        ASSERT_NE(view()->action(id), nullptr) << id;
        EXPECT_TRUE(test::isHandled(view()->action(id))) << id;
    }
}

TEST_F(FrameTest, StatusBarToggleKeepsItsPanes)
{
    QAction *toggle = frame->action(cmd::ToggleStatusBar);
    ASSERT_TRUE(toggle->isCheckable());
    EXPECT_TRUE(toggle->isChecked());
    toggle->trigger();
    EXPECT_FALSE(frame->statusBar()->isVisible());
    EXPECT_FALSE(toggle->isChecked());
    toggle->trigger();
    EXPECT_TRUE(frame->statusBar()->isVisible());
    EXPECT_EQ(frame->messagePane()->text(), QStringLiteral("ﾚﾃﾞｨ"));
    QStringList names;
    for (QLabel *l : frame->indicators())
        names << l->text();
    EXPECT_EQ(names, (QStringList{QStringLiteral("ｶﾅ"), QStringLiteral("CAP"),
                                  QStringLiteral("NUM"), QStringLiteral("SCRL")}));
    EXPECT_EQ(frame->action(cmd::About)->statusTip(),
              QStringLiteral("ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示"));
}

TEST_F(FrameTest, TitleStartsUntitled)
{
    // "[*]" is where the window system shows a changed script's "*".
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("無題 - Velkan[*]"));
    frame->setDocumentTitle(QStringLiteral("a.txt"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("a.txt - Velkan[*]"));
    frame->setDocumentTitle(QStringLiteral("odd[*].txt"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("odd[*][*].txt - Velkan[*]"));
}

TEST_F(FrameTest, TitleNamesTheSongAndMarksAChangedScript)
{
    EXPECT_FALSE(frame->isWindowModified());
    view()->document().insertLine(0, "typed", QStringLiteral("行の挿入"), 0);
    EXPECT_TRUE(frame->isWindowModified());
    view()->document().undo();
    EXPECT_FALSE(frame->isWindowModified());
    emit view()->playback()->songChanged(QStringLiteral("/songs/a.mid"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("/songs/a.mid[*]"));
    emit view()->playback()->songChanged({});
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("無題[*]"));
}

TEST_F(FrameTest, AcceleratorsWorkInEveryFocus)
{
    std::map<int, int> hits;
    for (int id : {int(cmd::Start), int(cmd::Pause), int(cmd::End), int(cmd::Delete),
                   int(cmd::Overwrite), int(cmd::Insert)})
        test::replaceHandler(view()->action(id), [&hits, id] { ++hits[id]; });
    const std::pair<Qt::Key, int> keys[] = {{Qt::Key_S, cmd::Start},     {Qt::Key_P, cmd::Pause},
                                            {Qt::Key_E, cmd::End},       {Qt::Key_D, cmd::Delete},
                                            {Qt::Key_O, cmd::Overwrite}, {Qt::Key_I, cmd::Insert}};
    QWidget *focuses[] = {view()->listView(), view()->lineEdit(), view()->helpPanel(),
                          view()->barBox(), view()->beatBox()};
    for (QWidget *focus : focuses) {
        focus->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return focus->hasFocus(); }))
            << focus->objectName().toStdString();
        for (const auto &[key, id] : keys) {
            const int before = hits[id];
            QTest::keyClick(QApplication::focusWidget(), key, Qt::ControlModifier);
            EXPECT_EQ(hits[id], before + 1)
                << focus->objectName().toStdString() << " Ctrl+" << char(key);
            focus->setFocus();
        }
    }
}

TEST_F(FrameTest, CtrlCInTheLineEditFetchesTheLine)
{
    view()->document().assign({"first", "second"});
    view()->selectLine(1);
    view()->lineEdit()->setText(QStringLiteral("typed"));
    view()->lineEdit()->selectAll();
    view()->lineEdit()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view()->lineEdit()->hasFocus(); }));
    QTest::keyClick(view()->lineEdit(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(view()->lineEdit()->text(), QStringLiteral("second"));
    EXPECT_TRUE(view()->lineEdit()->hasFocus());
}

TEST_F(FrameTest, ClosingAsksOnlyWhenChanged)
{
    struct Case {
        bool modified;
        MessageBox::Answer answer;
        bool closes;
    };
    const Case cases[] = {
        {true, MessageBox::Cancel, false},
        {true, MessageBox::Discard, true},
        {false, MessageBox::Cancel, true}, // not asked
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.modified << ' ' << c.answer);
        if (!frame) {
            frame = new MainFrame;
            frame->show();
        }
        view()->document().assign({"x"});
        view()->document().setModified(c.modified);
        MessageBox::clearShown();
        if (c.modified)
            MessageBox::setNextAnswer(c.answer);
        EXPECT_EQ(frame->close(), c.closes);
        EXPECT_EQ(MessageBox::shownTexts().size(), c.modified ? 1 : 0);
        if (c.closes)
            EXPECT_TRUE(QTest::qWaitFor([&] { return frame.isNull(); }));
        else
            EXPECT_TRUE(frame->isVisible());
    }
}

TEST_F(FrameTest, HelpOpensTheManualAndClosesWithTheForm)
{
    if (HelpWindow::contentsPath().isEmpty())
        GTEST_SKIP() << "the manual is copied beside the editor when it is built";
    frame->action(cmd::Help)->trigger();
    EXPECT_TRUE(HelpWindow::isOpen());
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
    delete frame.data();
    EXPECT_FALSE(HelpWindow::isOpen());
}

// While a menu is open the message pane shows the highlighted item's tip, and
// nothing for an item without one; the idle text comes back when the menu closes.
TEST_F(FrameTest, MessagePaneFollowsTheMenuHighlight)
{
    QMenuBar *bar = frame->menuBar();
    // What the pane shows: a message the status bar draws over it, else its own text.
    const auto shown = [&] {
        const QString message = frame->statusBar()->currentMessage();
        return (message.isEmpty() ? frame->messagePane()->text() : message).toStdString();
    };
    for (const char *name : {"fileMenu", "settingsMenu", "commandMenu", "viewMenu", "helpMenu"}) {
        SCOPED_TRACE(name);
        QMenu *menu = frame->findChild<QMenu *>(QString::fromLatin1(name));
        QTest::mouseClick(bar, Qt::LeftButton, {},
                          bar->actionGeometry(menu->menuAction()).center());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(menu));
        for (QAction *a : menu->actions()) {
            if (a->isSeparator())
                continue;
            QTest::mouseMove(menu, menu->actionGeometry(a).center());
            ASSERT_EQ(menu->activeAction(), a);
            EXPECT_EQ(shown(), a->statusTip().toStdString()) << a->text().toStdString();
        }
        // Off every item, the menu still open under its highlighted title.
        QTest::mouseMove(menu, QPoint(menu->width() / 2, menu->height() + 20));
        ASSERT_EQ(menu->activeAction(), nullptr);
        EXPECT_EQ(shown(), "");
        // Closed with an item highlighted.
        QTest::mouseMove(menu, menu->actionGeometry(menu->actions().constFirst()).center());
        QTest::keyClick(menu, Qt::Key_Escape);
        QTest::keyClick(bar, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !menu->isVisible() && !bar->activeAction(); }));
        EXPECT_EQ(shown(), "ﾚﾃﾞｨ");
    }
    // Closed by choosing an item.
    QMenu *commands = frame->findChild<QMenu *>(QStringLiteral("commandMenu"));
    QTest::mouseClick(bar, Qt::LeftButton, {},
                      bar->actionGeometry(commands->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(commands));
    QTest::mouseClick(commands, Qt::LeftButton, {},
                      commands->actionGeometry(commands->actions().constFirst()).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !commands->isVisible(); }));
    EXPECT_EQ(shown(), "ﾚﾃﾞｨ");
}

// A lock that is off leaves its indicator empty, in the same place and size.
TEST_F(FrameTest, IndicatorsShowOnlyLocksThatAreOn)
{
    const QList<QLabel *> indicators = frame->indicators();
    QList<QRect> lit;
    for (QLabel *l : indicators)
        lit << l->geometry();
    const struct {
        LockState locks;
        QStringList texts;
    } cases[] = {
        {{false, false, false, false}, {{}, {}, {}, {}}},
        {{true, std::nullopt, false, true}, {QStringLiteral("ｶﾅ"), {}, {}, QStringLiteral("SCRL")}},
        {{std::nullopt, true, true, std::nullopt},
         {{}, QStringLiteral("CAP"), QStringLiteral("NUM"), {}}},
        {{true, true, true, true},
         {QStringLiteral("ｶﾅ"), QStringLiteral("CAP"), QStringLiteral("NUM"),
          QStringLiteral("SCRL")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.texts.join(QLatin1Char(',')).toStdString());
        locks = c.locks;
        const auto texts = [&] {
            QStringList out;
            for (QLabel *l : indicators)
                out << l->text();
            return out;
        };
        EXPECT_TRUE(QTest::qWaitFor([&] { return texts() == c.texts; }, 3000))
            << texts().join(u',').toStdString();
        QCoreApplication::processEvents();
        for (int i = 0; i < indicators.size(); ++i) {
            EXPECT_EQ(indicators[i]->geometry(), lit[i]) << i;
            EXPECT_TRUE(indicators[i]->isEnabled()) << i;
        }
    }
}

// Made as small as it goes, in either direction or both, the window still
// shows every control whole, the list with a row and its whole scroll bar.
TEST_F(FrameTest, SmallestWindowCutsNoControlOff)
{
    view()->document().assign(std::vector<ScriptLine>(100, "@WAIT(1,0);"));
    ScriptListView *list = view()->listView();
    const QSize full = frame->size();
    for (const QSize asked : {QSize(1, 1), QSize(full.width(), 1), QSize(1, full.height())}) {
        SCOPED_TRACE(testing::Message() << asked.width() << 'x' << asked.height());
        frame->resize(asked);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return frame->size() == asked.expandedTo(frame->minimumSize()); }));
        QCoreApplication::processEvents();
        EXPECT_TRUE(frame->rect().contains(view()->geometry()));
        EXPECT_LE(view()->geometry().bottom(), frame->statusBar()->geometry().top());
        for (const QWidget *w : view()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!w->isWindow()) {
                EXPECT_TRUE(view()->rect().contains(w->geometry()))
                    << w->objectName().toStdString();
            }
        }
        const QScrollBar *bar = list->verticalScrollBar();
        ASSERT_TRUE(bar->isVisible());
        EXPECT_GE(bar->height(), bar->sizeHint().height()); // both arrows and the handle
        EXPECT_GE(list->viewport()->height(), list->sizeHintForRow(0));
    }
}
