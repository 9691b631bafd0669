#include "aids/PreferencesDialog.h"
#include "platform/AppSettings.h"
#include "platform/FileDialog.h"

#include "support/FormTestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include <set>

using namespace velkan;

namespace {

// Settings go to a folder of the test's own, never the user's.
class PreferencesDialogTest : public test::SeamedTest {
protected:
    void SetUp() override
    {
        SeamedTest::SetUp();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    }
    template <class T> static T *field(const QDialog &dialog, const char *name)
    {
        auto *widget = dialog.findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Fills the dialog and closes it with `key` on the focused field.
    static void fillAndClose(PreferencesDialog &dialog, Qt::Key key)
    {
        dialog.open();
        field<QSpinBox>(dialog, "speedBox")->setValue(65);
        field<QComboBox>(dialog, "gridBox")->setCurrentIndex(3);
        field<QSpinBox>(dialog, "tapOffsetBox")->setValue(-120);
        field<QSpinBox>(dialog, "preRollBox")->setValue(0);
        field<QLineEdit>(dialog, "soundFontEdit")->setText(QStringLiteral("/sf/GM.sf2"));
        auto *drivers = field<QComboBox>(dialog, "audioDriverBox");
        drivers->setCurrentIndex(drivers->findData(QStringLiteral("file")));
        QTest::keyClick(field<QSpinBox>(dialog, "tapOffsetBox"), key);
    }

    QTemporaryDir m_settingsDir;
};

} // namespace

TEST_F(PreferencesDialogTest, EnterWritesEveryFieldAndEscWritesNothing)
{
    {
        PreferencesDialog dialog;
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("環境設定"));
        fillAndClose(dialog, Qt::Key_Return);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    const auto expectWritten = [] {
        const AppSettings settings;
        EXPECT_EQ(settings.speedPercent(), 65);
        EXPECT_EQ(settings.stampGrid(), StampGrid::Step);
        EXPECT_EQ(settings.tapOffsetMs(), -120);
        EXPECT_EQ(settings.preRollBars(), 0);
        EXPECT_EQ(settings.soundFont(), QStringLiteral("/sf/GM.sf2"));
        EXPECT_EQ(settings.audioDriver(), QStringLiteral("file"));
    };
    expectWritten();

    // Opens on what was written; other values closed with Esc leave it.
    PreferencesDialog dialog;
    EXPECT_EQ(field<QSpinBox>(dialog, "speedBox")->value(), 65);
    EXPECT_EQ(field<QComboBox>(dialog, "gridBox")->currentText(),
              QStringLiteral("ステップ (1/48)"));
    EXPECT_EQ(field<QComboBox>(dialog, "audioDriverBox")->currentText(), QStringLiteral("file"));
    field<QSpinBox>(dialog, "speedBox")->setValue(140);
    field<QComboBox>(dialog, "audioDriverBox")->setCurrentIndex(0); // 自動
    QTest::keyClick(field<QSpinBox>(dialog, "speedBox"), Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    expectWritten();
}

TEST_F(PreferencesDialogTest, BrowseFillsTheSoundFontAndCancelKeepsIt)
{
    PreferencesDialog dialog;
    auto *edit = field<QLineEdit>(dialog, "soundFontEdit");
    FileDialog::setNextFileName(QStringLiteral("/fonts/音色.sf3"));
    field<QPushButton>(dialog, "soundFontBrowse")->click();
    EXPECT_EQ(edit->text(), QStringLiteral("/fonts/音色.sf3"));
    EXPECT_EQ(FileDialog::lastFilters(), QStringList{QStringLiteral("SoundFont (*.sf2 *.sf3)")});
    field<QPushButton>(dialog, "soundFontBrowse")->click(); // nothing queued: Cancel
    EXPECT_EQ(edit->text(), QStringLiteral("/fonts/音色.sf3"));
}

TEST_F(PreferencesDialogTest, EveryFieldHasALabelWithItsOwnAccessKey)
{
    PreferencesDialog dialog;
    const struct {
        const char *field;
        const char *label;
    } rows[] = {
        {"speedBox", "再生速度(&P):"},       {"gridBox", "刻みの単位(&G):"},
        {"tapOffsetBox", "タップ遅れ(&T):"}, {"preRollBox", "助走(&R):"},
        {"soundFontEdit", "&SoundFont:"},    {"audioDriverBox", "オーディオ出力(&A):"},
    };
    std::set<QChar> keys{QLatin1Char('B')}; // 参照(&B)...
    for (const auto &row : rows) {
        const QLabel *label = nullptr;
        for (const QLabel *l : dialog.findChildren<QLabel *>()) {
            if (l->buddy() && l->buddy()->objectName() == QLatin1String(row.field))
                label = l;
        }
        ASSERT_NE(label, nullptr) << row.field;
        EXPECT_EQ(label->text(), QString::fromUtf8(row.label)) << row.field;
        const QChar key = label->text().at(label->text().indexOf(QLatin1Char('&')) + 1).toUpper();
        EXPECT_TRUE(keys.insert(key).second) << row.field;
    }
    EXPECT_EQ(field<QPushButton>(dialog, "okButton")->text(), QStringLiteral("OK"));
    EXPECT_EQ(field<QPushButton>(dialog, "cancelButton")->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(field<QComboBox>(dialog, "audioDriverBox")->itemText(0), QStringLiteral("自動"));
    const QStringList units = {QStringLiteral("4分音符"), QStringLiteral("8分音符"),
                               QStringLiteral("16分音符"), QStringLiteral("ステップ (1/48)")};
    auto *grid = field<QComboBox>(dialog, "gridBox");
    ASSERT_EQ(grid->count(), units.size());
    for (int i = 0; i < grid->count(); ++i)
        EXPECT_EQ(grid->itemText(i), units[i]);
}
