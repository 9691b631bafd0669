#pragma once

#include "midi/RetapTake.h"
#include "midi/SongTimeline.h"

#include <QObject>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

class QAction;
class QActionGroup;

namespace velkan {

class ScriptList;
class VelkanView;

// The aids to tapping: the playback speed (the form's box and F7/F8), the
// unit a tap stamps to, starting from the selected line with a pre-roll,
// re-tapping a range of lines as one take, and nudging a @WAIT line by one
// unit (Alt+Up, Alt+Down).
class TappingAids : public QObject {
    Q_OBJECT
public:
    explicit TappingAids(VelkanView &view);
    ~TappingAids() override;

    // StartFromLine, RetapRange, Slower, Faster, NudgeEarlier, NudgeLater,
    // GridQuarter .. GridStep.
    QAction *action(int id) const;

    void startFromLine();
    // Re-taps the selected lines: each Space press replaces the range's next
    // @WAIT line or times its next lyric line without one; the take is one
    // undo step; Esc, 終了 or the song's end ends it.
    void startRetap();
    void endRetap();
    bool isRetapping() const { return m_take.has_value(); }
    void nudge(int direction);

    // The tick a line is timed at: its own @WAIT line's, or that of the
    // nearest @WAIT line above it; nothing when there is none.
    static std::optional<std::int64_t> timingTickOf(const ScriptList &lines, int row,
                                                    const SongTimeline &song);

private:
    QAction *add(int id, const char *objectName, const QString &text, const QKeySequence &key,
                 const QString &tip);
    void take(const std::string &stamp);
    void showGrid();

    VelkanView &m_view;
    std::map<int, QAction *> m_actions;
    QActionGroup *m_grids = nullptr;
    std::optional<RetapTake> m_take;
};

} // namespace velkan
