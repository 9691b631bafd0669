#include "document/ScriptDocument.h"

#include <algorithm>

namespace velkan {

// Everything one dialog session changed. Its parts were made while the
// dialog was open, so the first redo (the push) makes nothing again.
class SessionStep : public QUndoCommand {
public:
    SessionStep(ScriptDocument &document, const QString &what)
        : QUndoCommand(what), m_document(document), m_rowBefore(document.readSelection())
    {
    }

    void close() { m_rowAfter = m_document.readSelection(); }

    void redo() override
    {
        if (m_pushed) {
            QUndoCommand::redo();
            m_document.select(m_rowAfter);
        }
        m_pushed = true;
    }

    void undo() override
    {
        QUndoCommand::undo();
        m_document.select(m_rowBefore);
    }

private:
    ScriptDocument &m_document;
    int m_rowBefore;
    int m_rowAfter = -1;
    bool m_pushed = false;
};

// One change of the lines. On its own it is a step of the history and minds
// the selection; inside a session it is a part of the session's step, which
// minds the selection for all its parts.
class ScriptStep : public QUndoCommand {
public:
    ScriptStep(ScriptDocument &document, const QString &what, int selectAfter)
        : QUndoCommand(what, document.m_session), m_document(document),
          m_rowBefore(document.readSelection()), m_rowAfter(selectAfter),
          m_inSession(document.m_session != nullptr)
    {
    }

    void redo() final
    {
        apply(m_document.m_list);
        if (m_inSession)
            return;
        if (m_done) {
            m_document.select(m_rowAfter);
            return;
        }
        m_done = true;
        if (m_rowAfter != ScriptDocument::kKeepSelection)
            m_document.select(m_rowAfter);
        m_rowAfter = m_document.readSelection();
    }

    void undo() final
    {
        revert(m_document.m_list);
        if (!m_inSession)
            m_document.select(m_rowBefore);
    }

protected:
    virtual void apply(ScriptList &list) = 0;
    virtual void revert(ScriptList &list) = 0;

private:
    ScriptDocument &m_document;
    int m_rowBefore;
    // Until the first redo, the line to select then (or kKeepSelection);
    // after it, the line that was selected. One field: a tap's step is kept
    // for every tap, and this keeps it within the allocator's next size down.
    int m_rowAfter;
    bool m_inSession;
    bool m_done = false;
};

namespace {

class InsertLine final : public ScriptStep {
public:
    InsertLine(ScriptDocument &document, const QString &what, int selectAfter, int at,
               std::string_view line)
        : ScriptStep(document, what, selectAfter), m_at(at), m_line(line)
    {
    }

private:
    void apply(ScriptList &list) override { m_at = list.insert(m_at, m_line); }
    void revert(ScriptList &list) override { list.remove(m_at); }

    int m_at;
    ScriptLine m_line;
};

class InsertLines final : public ScriptStep {
public:
    InsertLines(ScriptDocument &document, const QString &what, int at,
                std::vector<ScriptLine> lines)
        : ScriptStep(document, what, ScriptDocument::kKeepSelection), m_at(at),
          m_lines(std::move(lines))
    {
    }

private:
    void apply(ScriptList &list) override { m_at = list.insertRange(m_at, m_lines); }
    void revert(ScriptList &list) override
    {
        list.removeRange(m_at, static_cast<int>(m_lines.size()));
    }

    int m_at;
    std::vector<ScriptLine> m_lines;
};

class RemoveLines final : public ScriptStep {
public:
    RemoveLines(ScriptDocument &document, const QString &what, int selectAfter, int first,
                int count)
        : ScriptStep(document, what, selectAfter), m_first(first), m_count(count)
    {
    }

private:
    void apply(ScriptList &list) override
    {
        m_lines.clear();
        m_lines.reserve(static_cast<std::size_t>(m_count));
        for (int i = m_first; i < m_first + m_count; ++i)
            m_lines.emplace_back(list.at(i));
        list.removeRange(m_first, m_count);
    }
    void revert(ScriptList &list) override
    {
        list.insertRange(m_first, m_lines);
        // Kept only while the lines are out of the list.
        std::vector<ScriptLine>().swap(m_lines);
    }

    int m_first;
    int m_count;
    std::vector<ScriptLine> m_lines;
};

// Replacing swaps: what the list held is kept for the way back.
class ReplaceLines final : public ScriptStep {
public:
    ReplaceLines(ScriptDocument &document, const QString &what, int selectAfter,
                 std::vector<std::pair<int, ScriptLine>> lines)
        : ScriptStep(document, what, selectAfter), m_lines(std::move(lines))
    {
    }

private:
    void apply(ScriptList &list) override { swapAll(list); }
    void revert(ScriptList &list) override { swapAll(list); }
    void swapAll(ScriptList &list)
    {
        std::vector<std::pair<int, ScriptLine>> held;
        held.reserve(m_lines.size());
        for (const auto &entry : m_lines)
            held.emplace_back(entry.first, list.at(entry.first));
        list.replaceEach(m_lines);
        m_lines = std::move(held);
    }

    std::vector<std::pair<int, ScriptLine>> m_lines;
};

class AssignLines final : public ScriptStep {
public:
    AssignLines(ScriptDocument &document, const QString &what, ScriptLines lines)
        : ScriptStep(document, what, -1), m_lines(std::move(lines))
    {
    }

private:
    void apply(ScriptList &list) override { m_lines = list.exchange(std::move(m_lines)); }
    void revert(ScriptList &list) override { m_lines = list.exchange(std::move(m_lines)); }

    ScriptLines m_lines;
};

// A step brought back from a recovery file: each change as the lines it
// replaced and the lines it put in their place.
class ReplayedStep final : public ScriptStep {
public:
    ReplayedStep(ScriptDocument &document, const RecoveryStep &step)
        : ScriptStep(document, QString::fromStdString(step.name), ScriptDocument::kKeepSelection),
          m_edits(step.edits)
    {
    }

private:
    void apply(ScriptList &list) override
    {
        for (const RecoveryEdit &edit : m_edits)
            change(list, edit.first, edit.before.size(), edit.after);
    }
    void revert(ScriptList &list) override
    {
        for (auto edit = m_edits.rbegin(); edit != m_edits.rend(); ++edit)
            change(list, edit->first, edit->after.size(), edit->before);
    }
    static void change(ScriptList &list, std::uint64_t first, std::size_t count,
                       const std::vector<std::string> &lines)
    {
        const int at = static_cast<int>(first);
        if (count == lines.size()) {
            std::vector<std::pair<int, ScriptLine>> replaced;
            for (std::size_t i = 0; i < count; ++i)
                replaced.emplace_back(at + static_cast<int>(i), lines[i]);
            list.replaceEach(replaced);
            return;
        }
        list.removeRange(at, static_cast<int>(count));
        if (!lines.empty())
            list.insertRange(at, lines);
    }

    std::vector<RecoveryEdit> m_edits;
};

} // namespace

ScriptDocument::ScriptDocument(QObject *parent) : QObject(parent)
{
    connect(&m_undo, &QUndoStack::cleanChanged, this,
            [this](bool clean) { emit modifiedChanged(!clean); });
}

ScriptDocument::~ScriptDocument()
{
    delete m_session;
    m_undo.clear();
}

void ScriptDocument::setModified(bool modified)
{
    if (modified)
        m_undo.resetClean();
    else
        m_undo.setClean();
}

void ScriptDocument::undo()
{
    if (!m_session)
        m_undo.undo();
}

void ScriptDocument::redo()
{
    if (!m_session)
        m_undo.redo();
}

void ScriptDocument::setSelection(std::function<int()> read, std::function<void(int)> select)
{
    m_readSelection = std::move(read);
    m_select = std::move(select);
}

void ScriptDocument::select(int row) const
{
    if (m_select)
        m_select(row);
}

void ScriptDocument::run(ScriptStep *step)
{
    if (m_session)
        step->redo();
    else
        m_undo.push(step);
}

int ScriptDocument::insertLine(int at, std::string_view line, const QString &what, int selectAfter)
{
    if (at < 0 || at > m_list.count())
        at = m_list.count();
    run(new InsertLine(*this, what, selectAfter, at, line));
    return at;
}

void ScriptDocument::insertLines(int at, std::vector<ScriptLine> lines, const QString &what)
{
    if (lines.empty())
        return;
    if (at < 0 || at > m_list.count())
        at = m_list.count();
    run(new InsertLines(*this, what, at, std::move(lines)));
}

void ScriptDocument::removeLines(int first, int count, const QString &what, int selectAfter)
{
    if (first < 0) {
        count += first;
        first = 0;
    }
    count = std::min(count, m_list.count() - first);
    if (count <= 0) {
        if (!m_session && selectAfter != kKeepSelection)
            select(selectAfter);
        return;
    }
    run(new RemoveLines(*this, what, selectAfter, first, count));
}

void ScriptDocument::replaceLine(int i, std::string_view line, const QString &what, int selectAfter)
{
    if (!m_list.isValidIndex(i) || m_list.at(i) == line) {
        if (!m_session && selectAfter != kKeepSelection)
            select(selectAfter);
        return;
    }
    run(new ReplaceLines(*this, what, selectAfter, {{i, ScriptLine(line)}}));
}

void ScriptDocument::replaceLines(std::vector<std::pair<int, ScriptLine>> lines,
                                  const QString &what)
{
    std::erase_if(lines, [this](const auto &entry) {
        return !m_list.isValidIndex(entry.first) || m_list.at(entry.first) == entry.second;
    });
    if (lines.empty())
        return;
    run(new ReplaceLines(*this, what, kKeepSelection, std::move(lines)));
}

void ScriptDocument::assign(ScriptLines lines, const QString &what, bool asLoaded)
{
    run(new AssignLines(*this, what, std::move(lines)));
    if (asLoaded && !m_session)
        m_undo.setClean();
}

void ScriptDocument::replayStep(const RecoveryStep &step)
{
    run(new ReplayedStep(*this, step));
}

void ScriptDocument::beginSession(const QString &what)
{
    if (m_sessionDepth++ == 0)
        m_session = new SessionStep(*this, what);
}

void ScriptDocument::endSession()
{
    if (m_sessionDepth == 0 || --m_sessionDepth > 0)
        return;
    SessionStep *session = std::exchange(m_session, nullptr);
    if (session->childCount() == 0) {
        delete session;
        return;
    }
    session->close();
    m_undo.push(session);
}

} // namespace velkan
