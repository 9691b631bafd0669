#include "platform/TestAnswers.h"

#include <gtest/gtest.h>

#include <QString>
#include <memory>
#include <string>
#include <vector>

using namespace velkan;

TEST(TestAnswers, AnswersComeOutInTheOrderTheyWentIn)
{
    struct Case {
        std::vector<int> pushed;
    };
    const Case cases[] = {{{}}, {{4}}, {{1, 2, 3}}, {{3, 1, 3, 2}}};
    for (const Case &c : cases) {
        TestAnswers<int> queue;
        for (int v : c.pushed)
            queue.push(v);
        EXPECT_EQ(queue.size(), c.pushed.size());
        std::vector<int> taken;
        while (std::optional<int> v = queue.take())
            taken.push_back(*v);
        EXPECT_EQ(taken, c.pushed);
        EXPECT_TRUE(queue.empty());
        EXPECT_EQ(queue.take(), std::nullopt);
    }
}

TEST(TestAnswers, ResetEmptiesEveryQueueAndRunsEachResetStep)
{
    bool textMode = true;
    int numberResets = 0;
    TestAnswers<QString> texts([&] { textMode = false; });
    TestAnswers<int> numbers([&] { ++numberResets; });
    TestAnswers<std::string> plain;
    texts.push(QStringLiteral("a"));
    texts.push(QStringLiteral("b"));
    numbers.push(7);
    plain.push("x");
    {
        // A queue gone before the reset is no longer in its list.
        TestAnswers<int> gone([&] { ADD_FAILURE() << "reset reached a destroyed queue"; });
        gone.push(1);
    }

    resetTestAnswers();

    EXPECT_TRUE(texts.empty());
    EXPECT_TRUE(numbers.empty());
    EXPECT_TRUE(plain.empty());
    EXPECT_FALSE(textMode);
    EXPECT_EQ(numberResets, 1);

    // Each queue still works after a reset.
    numbers.push(9);
    EXPECT_EQ(numbers.take(), 9);
}
