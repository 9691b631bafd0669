// Test entry for everything that needs a QApplication: widgets run offscreen.
#include "platform/TestAnswers.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Every test starts with no queued answer, no dialog in test mode and no
// saved setting or recovery file, whatever the test before it left behind.
class ResetTestAnswers : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override
    {
        velkan::resetTestAnswers();
        QSettings(QStringLiteral("Velkan"), QStringLiteral("Velkan")).clear();
        QDir(qEnvironmentVariable("XDG_STATE_HOME")).removeRecursively();
    }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests' settings live in a folder of their own, never the user's.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    // So do the copies of unsaved work a window keeps, and those it offers back.
    qputenv("XDG_STATE_HOME", QFile::encodeName(settingsDir.path() + QStringLiteral("/state")));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetTestAnswers);
    return RUN_ALL_TESTS();
}
