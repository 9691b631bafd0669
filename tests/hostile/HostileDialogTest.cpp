// Both lyric dialogs opened over hostile scripts: they copy the script, write
// their lines into both lists at once, and what they leave saves and loads
// back unchanged.
#include "HostileScripts.h"
#include "support/Actions.h"
#include "support/FormTestSupport.h"
#include "support/ItemClicks.h"

#include "aids/LyricLayoutDialog.h"
#include "aids/LyricRevealDialog.h"
#include "aids/PaletteDialog.h"
#include "form/CommandIds.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"

#include <QAbstractButton>
#include <QListView>
#include <QListWidget>
#include <QTest>

using namespace velkan;
using velkan::test::HostileScript;
using velkan::test::SeamedTest;

namespace {

class HostileDialogTest : public SeamedTest, public ::testing::WithParamInterface<HostileScript> {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        PaletteDialog::clearAnswers();
        view = std::make_unique<VelkanView>();
        view->show();
    }
    void TearDown() override
    {
        view.reset();
        PaletteDialog::clearAnswers();
        SeamedTest::TearDown();
    }
    void load(const QString &path)
    {
        MessageBox::setNextAnswer(MessageBox::Discard);
        FileDialog::setNextFileName(path);
        test::triggerAction(view, "actionLyricsLoad");
    }
    static void click(QWidget *w) { QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center()); }
    static void doubleClickRow(QAbstractItemView *v, int row) { test::doubleClickRow(v, row); }

    std::unique_ptr<VelkanView> view;
};

} // namespace

TEST_P(HostileDialogTest, BothLyricDialogsOpenAndWriteIntoTheScript)
{
    load(writeTemp(QStringLiteral("hostile.txt"), GetParam().bytes()));
    std::vector<ScriptLine> before = view->scriptList().lines().toVector();
    ASSERT_FALSE(before.empty());

    {
        // Appear block over the whole script.
        LyricRevealDialog dialog(*view);
        dialog.show();
        ASSERT_TRUE(dialog.lines().lines() == before) << "the dialog's copy differs";
        QAbstractItemModel *model = dialog.lineList()->model();
        dialog.lineList()->selectionModel()->select(
            QItemSelection(model->index(0, 0), model->index(model->rowCount() - 1, 0)),
            QItemSelectionModel::ClearAndSelect);
        static_cast<QAbstractButton *>(dialog.control(LyricRevealDialog::AppearTimingButton))
            ->click();
        static_cast<QAbstractButton *>(dialog.control(LyricRevealDialog::AppearConfirmButton))
            ->click();
        EXPECT_GT(view->scriptList().count(), static_cast<int>(before.size()));
        EXPECT_TRUE(dialog.lines().lines() == view->scriptList().lines()) << "the lists parted";
        // The block went in before the first line: the script follows it whole.
        const auto &after = view->scriptList().lines();
        EXPECT_TRUE(std::equal(before.begin(), before.end(), after.end() - before.size()));
    }
    before = view->scriptList().lines().toVector();

    {
        // Layout: background, position and colour, with no lyric chosen.
        LyricLayoutDialog dialog(*view);
        dialog.show();
        ASSERT_TRUE(dialog.lyrics().lines() == before) << "the dialog's copy differs";
        PaletteDialog::setNextAnswer(true);
        click(dialog.control(LyricLayoutDialog::BackgroundButton));
        click(dialog.control(LyricLayoutDialog::ConfirmButton));
        doubleClickRow(dialog.colourList(), 1);
        EXPECT_EQ(view->scriptList().count(), static_cast<int>(before.size()) + 3);
        EXPECT_TRUE(dialog.lyrics().lines() == view->scriptList().lines()) << "the lists parted";
    }

    const std::vector<ScriptLine> edited = view->scriptList().lines().toVector();
    const QString saved = m_dir.filePath(QStringLiteral("saved.wrd"));
    FileDialog::setNextFileName(saved);
    test::triggerAction(view, "actionWrdSave");
    load(saved);
    EXPECT_TRUE(view->scriptList().lines() == edited) << "save -> load changed some line";
}

INSTANTIATE_TEST_SUITE_P(Scripts, HostileDialogTest,
                         ::testing::ValuesIn(velkan::test::kHostileScripts),
                         [](const auto &test) { return std::string(test.param.name); });
