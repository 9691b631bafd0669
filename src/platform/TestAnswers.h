#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace velkan {

// Empties every queue of test answers in the process and runs each queue's
// reset step (which also ends any test mode that goes with it). The test
// runner calls it before every test, so nothing queued by one test reaches
// the next.
inline void resetTestAnswers();

// What every queue of test answers has in common: its place in the list that
// resetTestAnswers() walks.
class TestAnswersBase {
public:
    TestAnswersBase(const TestAnswersBase &) = delete;
    TestAnswersBase &operator=(const TestAnswersBase &) = delete;

protected:
    explicit TestAnswersBase(std::function<void()> onReset) : m_onReset(std::move(onReset))
    {
        all().push_back(this);
    }
    virtual ~TestAnswersBase() { std::erase(all(), this); }

    virtual void clear() = 0;

private:
    friend void resetTestAnswers();

    void reset()
    {
        clear();
        if (m_onReset)
            m_onReset();
    }
    // Built on first use, so a queue defined at namespace scope in any file
    // finds it ready, and it outlives every queue that registered in it.
    static std::vector<TestAnswersBase *> &all()
    {
        static std::vector<TestAnswersBase *> queues;
        return queues;
    }

    std::function<void()> m_onReset;
};

// Answers a test feeds in advance to something that would otherwise block in
// a modal dialog, taken first in, first out. onReset runs after the queue is
// emptied by resetTestAnswers(): the place to leave test mode and forget what
// was recorded.
template <class T> class TestAnswers final : public TestAnswersBase {
public:
    explicit TestAnswers(std::function<void()> onReset = {}) : TestAnswersBase(std::move(onReset))
    {
    }

    void push(T answer) { m_queue.push_back(std::move(answer)); }

    // The oldest answer, or nothing when none is queued.
    std::optional<T> take()
    {
        if (m_queue.empty())
            return std::nullopt;
        std::optional<T> answer(std::move(m_queue.front()));
        m_queue.pop_front();
        return answer;
    }

    bool empty() const { return m_queue.empty(); }
    std::size_t size() const { return m_queue.size(); }
    void clear() override { m_queue.clear(); }

private:
    std::deque<T> m_queue;
};

inline void resetTestAnswers()
{
    for (TestAnswersBase *queue : TestAnswersBase::all())
        queue->reset();
}

} // namespace velkan
