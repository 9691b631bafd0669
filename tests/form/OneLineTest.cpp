// The line edit box holds one line: pasted line breaks and Ctrl-Z never reach
// the script, whichever command would put them there.
#include "support/FormTestSupport.h"

#include "form/VelkanView.h"
#include "platform/ShiftJisCodec.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace velkan;
using velkan::test::SeamedTest;

namespace {

const QString kOneLineMessage =
    QStringLiteral("改行やCtrl-Z (0x1A) を含むテキストは1行に入れられません。");

class OneLineTest : public SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        view = std::make_unique<VelkanView>();
        view->show();
        // The accelerators answer in the active window only.
        QApplication::setActiveWindow(view.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
        view->document().assign(std::vector<ScriptLine>{"@A", "B", "C"});
        view->document().setModified(false);
    }
    std::vector<ScriptLine> lines() const { return view->scriptList().lines().toVector(); }
    // Pastes text at the end of the box, as Ctrl+V in it does.
    void paste(const QString &text)
    {
        QGuiApplication::clipboard()->setText(text);
        view->lineEdit()->setFocus();
        view->lineEdit()->end(false);
        QTest::keyClick(view->lineEdit(), Qt::Key_V, Qt::ControlModifier);
    }
    void press(const char *button)
    {
        QTest::mouseClick(view->findChild<QPushButton *>(QString::fromLatin1(button)),
                          Qt::LeftButton);
    }

    std::unique_ptr<VelkanView> view;
};

// What a paste can bring: Windows and Unix line breaks, an old Mac one, the
// character ICU encodes to 0x1A, and the box's own stand-ins for raw bytes.
const QString kPastes[] = {
    QStringLiteral("A\r\nB"), QStringLiteral("A\nB"), QStringLiteral("A\rB"),
    QStringLiteral("\n"),     QString(QChar(0x1C)),   QString(QChar(0xF71A)),
    QString(QChar(0xF70A)),   QString(QChar(0xF70D)),
};

} // namespace

TEST_F(OneLineTest, PastedLineBreaksAreRefusedByEveryCommand)
{
    // Each command by its button and by its accelerator.
    const std::vector<std::function<void()>> commands = {
        [this] { press("insertButton"); },
        [this] { press("overwriteButton"); },
        [this] { QTest::keyClick(view->lineEdit(), Qt::Key_I, Qt::ControlModifier); },
        [this] { QTest::keyClick(view->lineEdit(), Qt::Key_O, Qt::ControlModifier); },
    };
    for (const QString &pasted : kPastes) {
        for (std::size_t k = 0; k < commands.size(); ++k) {
            SCOPED_TRACE(pasted.toStdString() + " command " + std::to_string(k));
            view->selectLine(1);
            view->lineEdit()->setText(QStringLiteral("歌詞"));
            paste(pasted);
            ASSERT_EQ(view->lineEdit()->text(), QStringLiteral("歌詞") + pasted);
            MessageBox::clearShown();
            commands[k]();
            EXPECT_EQ(MessageBox::shownTexts(), QStringList{kOneLineMessage});
            EXPECT_EQ(lines(), (std::vector<ScriptLine>{"@A", "B", "C"}));
            EXPECT_FALSE(view->document().isModified());
            EXPECT_EQ(view->selectedIndex(), 1);
            // The box keeps the text, to be put right.
            EXPECT_EQ(view->lineEdit()->text(), QStringLiteral("歌詞") + pasted);
        }
    }
}

TEST_F(OneLineTest, AFetchedLineWithAPastedBreakIsNotWrittenBack)
{
    view->selectLine(2);
    press("changeButton");
    ASSERT_EQ(view->lineEdit()->text(), QStringLiteral("C"));
    paste(QStringLiteral("\r\n@END();"));
    press("overwriteButton");
    EXPECT_EQ(MessageBox::shownTexts(), QStringList{kOneLineMessage});
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"@A", "B", "C"}));

    // Once the break is gone, the line goes in.
    view->lineEdit()->setText(QStringLiteral("C @END();"));
    press("overwriteButton");
    EXPECT_EQ(lines(), (std::vector<ScriptLine>{"@A", "B", "C @END();"}));
    EXPECT_EQ(MessageBox::shownTexts().size(), 1);
}

TEST_F(OneLineTest, OneLinePastesGoIn)
{
    // Control codes other than CR, LF and the one that becomes Ctrl-Z, and the
    // characters Linux input gives for the code page's own, are line text.
    const std::pair<QString, ScriptLine> pastes[] = {
        {QStringLiteral("\t@WAIT(1,0);"), "\t@WAIT(1,0);"},
        {QString(QChar(0x1B)) + QStringLiteral("[2J"), "\x1B[2J"},
        {QStringLiteral("あ〜−—"), "\x82\xA0\x81\x60\x81\x7C\x81\x5C"},
    };
    for (const auto &[pasted, bytes] : pastes) {
        view->selectLine(0);
        view->lineEdit()->clear();
        paste(pasted);
        press("insertButton");
        EXPECT_EQ(view->scriptList().text(0), bytes);
    }
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty());
    EXPECT_EQ(view->scriptList().count(), 6);
}
