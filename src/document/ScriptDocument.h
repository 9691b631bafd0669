#pragma once

#include "script/RecoveryFile.h"
#include "script/ScriptList.h"

#include <QObject>
#include <QString>
#include <QUndoStack>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace velkan {

class ScriptStep;

// The script being edited: its lines, the history of their changes, whether
// they differ from what was last loaded or saved, and the files they belong to.
//
// Every change of the lines goes through here and becomes one undo step: the
// step's redo() makes the change, its undo() puts back the exact bytes and the
// selection the step began with; a redo brings back the selection it ended
// with. A session (a dialog writing into the list while it is open) gathers
// all it changes into one step.
class ScriptDocument : public QObject {
    Q_OBJECT
public:
    // Given as the selection after a change: whatever the list shows then.
    static constexpr int kKeepSelection = -2;

    explicit ScriptDocument(QObject *parent = nullptr);
    ~ScriptDocument() override;

    const ScriptList &list() const { return m_list; }

    QUndoStack *undoStack() { return &m_undo; }
    // Take back or make again the last step; nothing while a session is open.
    void undo();
    void redo();
    bool inSession() const { return m_session != nullptr; }

    // Differs from the last load or save. Saving marks it unmodified; undoing
    // back to that point makes it unmodified again.
    bool isModified() const { return !m_undo.isClean(); }
    void setModified(bool modified);

    // Where the selected line is read and set: the form's list. Without it
    // nothing is selected.
    void setSelection(std::function<int()> read, std::function<void(int)> select);

    // The changes. `what` names the step ("行の削除"); `selectAfter` is the
    // line selected once the change is made (-1: none), kKeepSelection to
    // leave the selection alone. Inside a session both are the session's.
    // Returns the index the line went to.
    int insertLine(int at, std::string_view line, const QString &what, int selectAfter);
    void insertLines(int at, std::vector<ScriptLine> lines, const QString &what);
    // Out-of-range parts are clipped; nothing to remove makes no step.
    void removeLines(int first, int count, const QString &what, int selectAfter);
    // The same bytes again, or an index that holds no line, make no step.
    void replaceLine(int i, std::string_view line, const QString &what, int selectAfter);
    // Several lines at once, as (index, new bytes); unchanged ones are left out.
    void replaceLines(std::vector<std::pair<int, ScriptLine>> lines, const QString &what);
    // All lines replaced (a load). With `asLoaded` the result counts as saved.
    void assign(ScriptLines lines, const QString &what = {}, bool asLoaded = false);

    // A step of a recovered history made again, one undo step of its name:
    // its changes as recorded (the lines must be those it expects).
    void replayStep(const RecoveryStep &step);

    // A session: every change until endSession is one step named `what`.
    // Sessions nest; the outermost names the step. A session that changed
    // nothing leaves no step.
    void beginSession(const QString &what);
    void endSession();

    // Opens a session for the scope of the object.
    class Session {
    public:
        Session(ScriptDocument &document, const QString &what) : m_document(document)
        {
            m_document.beginSession(what);
        }
        ~Session() { m_document.endSession(); }
        Session(const Session &) = delete;
        Session &operator=(const Session &) = delete;

    private:
        ScriptDocument &m_document;
    };

    // The script as a file named it, and the song loaded beside it.
    const QString &scriptPath() const { return m_scriptPath; }
    void setScriptPath(const QString &path) { m_scriptPath = path; }

signals:
    void modifiedChanged(bool modified);

private:
    friend class ScriptStep;
    friend class SessionStep;

    int readSelection() const { return m_readSelection ? m_readSelection() : -1; }
    void select(int row) const;
    // Runs a new step: on the stack, or inside the open session.
    void run(ScriptStep *step);

    ScriptList m_list;
    QUndoStack m_undo;
    std::function<int()> m_readSelection;
    std::function<void(int)> m_select;
    class SessionStep *m_session = nullptr;
    int m_sessionDepth = 0;
    QString m_scriptPath;
};

} // namespace velkan
