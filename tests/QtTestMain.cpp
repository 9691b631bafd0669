// Test entry for everything that needs a QApplication: widgets run offscreen.
#include "platform/TestAnswers.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

// Every test starts with no queued answer and no dialog in test mode,
// whatever the test before it left behind.
class ResetTestAnswers : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo &) override { velkan::resetTestAnswers(); }
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new ResetTestAnswers);
    return RUN_ALL_TESTS();
}
