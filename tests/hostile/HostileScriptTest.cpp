// Scripts no author means to write, through the whole form: load, edit with
// every line-editing command, save, load again. The lines must survive
// byte for byte, whatever the bytes.
#include "HostileScripts.h"
#include "support/Actions.h"
#include "support/FormTestSupport.h"

#include "form/CommandIds.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/ShiftJisCodec.h"
#include "script/Messages.h"
#include "script/ScriptFile.h"
#include "script/ShiftJisText.h"

#include <QLineEdit>
#include <QTest>

using namespace velkan;
using velkan::test::HostileScript;
using velkan::test::SeamedTest;

namespace {

class HostileScriptTest : public SeamedTest, public ::testing::WithParamInterface<HostileScript> {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        view = std::make_unique<VelkanView>();
        view->show();
    }
    void TearDown() override
    {
        view.reset();
        SeamedTest::TearDown();
    }
    void load(const QString &path)
    {
        MessageBox::setNextAnswer(MessageBox::Discard);
        FileDialog::setNextFileName(path);
        test::triggerAction(view, "actionLyricsLoad");
    }
    void save(const QString &path)
    {
        FileDialog::setNextFileName(path);
        test::triggerAction(view, "actionWrdSave");
    }
    void typeLine(const QString &text) { view->lineEdit()->setText(text); }

    std::unique_ptr<VelkanView> view;
};

} // namespace

TEST_P(HostileScriptTest, LoadEditSaveLoadKeepsEveryByte)
{
    const HostileScript &script = GetParam();
    load(writeTemp(QStringLiteral("hostile.txt"), script.bytes()));
    ASSERT_TRUE(MessageBox::shownTexts().isEmpty())
        << MessageBox::shownTexts().join(u'\n').toStdString();
    std::vector<ScriptLine> expected = script.lines();
    ASSERT_EQ(view->scriptList().lines().size(), expected.size());
    ASSERT_TRUE(view->scriptList().lines() == expected) << "the load changed some line";
    ASSERT_EQ(view->listView()->model()->rowCount(), static_cast<int>(expected.size()));

    // Change then overwrite: the line goes through the edit box and back unchanged.
    const int row = script.editRow;
    view->selectLine(row);
    test::triggerAction(view, "actionChange");
    test::triggerAction(view, "actionOverwrite");
    EXPECT_EQ(view->scriptList().text(row).size(), expected[static_cast<std::size_t>(row)].size());
    EXPECT_TRUE(view->scriptList().text(row) == expected[static_cast<std::size_t>(row)])
        << "a line changed on its way through the line edit box";
    // A loaded line may hold a lone CR; the box, which holds one line, says
    // so rather than put it back, and the line stays as it was.
    if (!isOneScriptLine(expected[static_cast<std::size_t>(row)])) {
        EXPECT_EQ(MessageBox::shownTexts(), QStringList{QString::fromUtf8(messages::kNotOneLine)});
        MessageBox::clearShown();
    }

    // Insert a typed line before the hostile one, overwrite another, delete the last.
    view->selectLine(row);
    typeLine(QStringLiteral("挿入した行"));
    test::triggerAction(view, "actionInsert");
    expected.insert(expected.begin() + row, *ShiftJis::encode(QStringLiteral("挿入した行")));
    view->selectLine(0);
    typeLine(QStringLiteral("@WAIT(3,48);"));
    test::triggerAction(view, "actionOverwrite");
    expected[0] = "@WAIT(3,48);";
    view->selectLine(static_cast<int>(expected.size()) - 1);
    test::triggerAction(view, "actionDelete");
    expected.pop_back();
    ASSERT_TRUE(view->scriptList().lines() == expected) << "an edit went astray";
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty())
        << MessageBox::shownTexts().join(u'\n').toStdString();

    // Save, then load what was saved: the same lines, byte for byte.
    const QString saved = m_dir.filePath(QStringLiteral("saved.wrd"));
    save(saved);
    EXPECT_TRUE(MessageBox::shownTexts().isEmpty())
        << MessageBox::shownTexts().join(u'\n').toStdString();
    EXPECT_TRUE(readFile(saved) == joinScriptLines(expected))
        << "the file is not the lines with CR LF";
    view->document().assign({});
    load(saved);
    EXPECT_EQ(view->scriptList().count(), static_cast<int>(expected.size()));
    EXPECT_TRUE(view->scriptList().lines() == expected) << "save -> load changed some line";
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostileScriptTest,
                         ::testing::ValuesIn(velkan::test::kHostileScripts),
                         [](const auto &test) { return std::string(test.param.name); });
