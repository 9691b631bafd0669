#include "script/ScriptList.h"

#include <algorithm>

namespace velkan {

ScriptLine ScriptList::text(int i) const
{
    return isValidIndex(i) ? ScriptLine(m_lines[static_cast<std::size_t>(i)]) : ScriptLine();
}

void ScriptList::append(std::string_view line)
{
    insert(-1, line);
}

int ScriptList::insert(int i, std::string_view line)
{
    if (i < 0 || i > count())
        i = count();
    for (auto *o : m_observers)
        o->aboutToInsert(i, 1);
    m_lines.insert(static_cast<std::size_t>(i), line);
    for (auto *o : m_observers)
        o->inserted(i, 1);
    return i;
}

int ScriptList::insertRange(int i, const std::vector<ScriptLine> &block)
{
    if (i < 0 || i > count())
        i = count();
    if (block.empty())
        return i;
    const int n = static_cast<int>(block.size());
    for (auto *o : m_observers)
        o->aboutToInsert(i, n);
    m_lines.insert(static_cast<std::size_t>(i), block);
    for (auto *o : m_observers)
        o->inserted(i, n);
    return i;
}

bool ScriptList::remove(int i)
{
    if (!isValidIndex(i))
        return false;
    removeRange(i, 1);
    return true;
}

void ScriptList::removeRange(int first, int n)
{
    if (first < 0) {
        n += first;
        first = 0;
    }
    n = std::min(n, count() - first);
    if (n <= 0)
        return;
    for (auto *o : m_observers)
        o->aboutToRemove(first, n);
    m_lines.erase(static_cast<std::size_t>(first), static_cast<std::size_t>(n));
    for (auto *o : m_observers)
        o->removed(first, n);
}

bool ScriptList::replace(int i, std::string_view line)
{
    if (!isValidIndex(i))
        return false;
    // The same bytes again are no change: the script stays as saved.
    if (at(i) == line)
        return true;
    m_lines.replace(static_cast<std::size_t>(i), line);
    for (auto *o : m_observers)
        o->changed(i, i);
    return true;
}

void ScriptList::replaceEach(const std::vector<std::pair<int, ScriptLine>> &lines)
{
    int first = count();
    int last = -1;
    for (const auto &[i, line] : lines) {
        if (!isValidIndex(i) || at(i) == line)
            continue;
        m_lines.replace(static_cast<std::size_t>(i), line);
        first = std::min(first, i);
        last = std::max(last, i);
    }
    if (last < 0)
        return;
    for (auto *o : m_observers)
        o->changed(first, last);
}

void ScriptList::clear()
{
    assign(ScriptLines());
}

void ScriptList::assign(ScriptLines lines)
{
    exchange(std::move(lines));
}

ScriptLines ScriptList::exchange(ScriptLines lines)
{
    for (auto *o : m_observers)
        o->aboutToReset();
    std::swap(m_lines, lines);
    for (auto *o : m_observers)
        o->reset();
    return lines;
}

void ScriptList::addObserver(ScriptListObserver *observer) const
{
    m_observers.push_back(observer);
}

void ScriptList::removeObserver(ScriptListObserver *observer) const
{
    std::erase(m_observers, observer);
}

} // namespace velkan
