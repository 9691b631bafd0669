#pragma once

#include "script/ScriptLines.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velkan {

// Told about every change of a ScriptList before and after it happens, so a
// view model can follow along (Qt's begin/end row protocol maps onto this).
class ScriptListObserver {
public:
    virtual ~ScriptListObserver() = default;
    virtual void aboutToInsert(int first, int count) = 0;
    virtual void inserted(int first, int count) = 0;
    virtual void aboutToRemove(int first, int count) = 0;
    virtual void removed(int first, int count) = 0;
    virtual void aboutToReset() = 0;
    virtual void reset() = 0;
    // Lines first..last (inclusive) may hold other bytes.
    virtual void changed(int first, int last) = 0;
};

// The ordered, unsorted list of script lines: the one piece of working data of
// the editor. Selection is the view's business and the history of changes the
// document's; this holds the lines.
class ScriptList {
public:
    int count() const { return static_cast<int>(m_lines.size()); }
    bool isEmpty() const { return m_lines.empty(); }
    bool isValidIndex(int i) const { return i >= 0 && i < count(); }

    // A copy of line i; an empty line for an index that holds none.
    ScriptLine text(int i) const;
    // Line i as it is stored: valid until the list next changes.
    std::string_view at(int i) const { return m_lines[static_cast<std::size_t>(i)]; }
    const ScriptLines &lines() const { return m_lines; }

    void append(std::string_view line);
    // i = -1 (or any index past the end) appends. Returns the index used.
    int insert(int i, std::string_view line);
    // Inserts a block as one range. i = -1 appends. Returns the index used.
    int insertRange(int i, const std::vector<ScriptLine> &block);
    // An index that holds no line changes nothing. Returns whether a line went.
    bool remove(int i);
    // Removes count lines from first, clipped to the list.
    void removeRange(int first, int count);
    // Returns whether i holds a line; a line replaced by its own bytes does
    // not count as a change.
    bool replace(int i, std::string_view line);
    // Replaces each (index, bytes) that names a line; one notice covers them all.
    void replaceEach(const std::vector<std::pair<int, ScriptLine>> &lines);
    void clear();
    void assign(ScriptLines lines);
    // Puts `lines` in place of the list's and hands back the old ones, whose
    // loaded blocks are moved, not copied.
    ScriptLines exchange(ScriptLines lines);

    // Watching the list leaves it as it is: a read-only holder may watch too.
    void addObserver(ScriptListObserver *observer) const;
    void removeObserver(ScriptListObserver *observer) const;

private:
    ScriptLines m_lines;
    mutable std::vector<ScriptListObserver *> m_observers;
};

} // namespace velkan
