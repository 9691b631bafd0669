// Undo history figures, with the form shown and its list attached: undo and
// redo of a tap, a line edit, a delete, a dialog session and a timing offset in
// a 100,000-line script; of a load of 1,000,000 lines over another; and the
// heap the history keeps after 10,000 taps and their undos.
//   build/bench/bench_undo [lines]        (default 100000)
// Every undo and redo is timed through the form's action and the passes of the
// event loop that follow it, so the list's layout and painting count with it.
#include "BenchScripts.h"
#include "document/ScriptDocument.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "script/ScriptLines.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QUndoStack>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <malloc.h>
#include <string>
#include <utility>
#include <vector>

using namespace velkan;
using Clock = std::chrono::steady_clock;

using velkan::bench::makeScript;

namespace {

constexpr double kFrameMs = 16;
constexpr double kLoadMs = 1000;
constexpr double kHistoryBytes = 2e6;

const QString kTap = QStringLiteral("歌詞追い");
const QString kOverwrite = QStringLiteral("行の上書き");
const QString kDelete = QStringLiteral("行の削除");
const QString kLayout = QStringLiteral("歌詞表示位置の設定");
const QString kOffset = QStringLiteral("歌詞追い時間の調整");
const QString kLoad = QStringLiteral("歌詞読込");

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The times of one kind of pass, and in how many of them the list was painted.
struct Timed {
    std::vector<double> ms;
    int painted = 0;
};
struct UndoRedo {
    Timed undo, redo;
};

// One figure against its target (none when targetMs is 0), judged on the median.
void report(const std::string &what, const Timed &timed, double targetMs = 0)
{
    std::vector<double> v = timed.ms;
    std::sort(v.begin(), v.end());
    std::printf("  %-40s min %8.3f ms, median %8.3f ms, painted in %d of %zu", what.c_str(),
                v.front(), v[v.size() / 2], timed.painted, v.size());
    if (targetMs > 0)
        std::printf("  (target < %.0f ms: %s)\n", targetMs,
                    v[v.size() / 2] < targetMs ? "met" : "MISSED");
    else
        std::printf("  (no target)\n");
}

// Counts the paintings of the list, to show that the timed passes of the
// event loop include them.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// The form as the author sees it, offscreen, holding `script` as loaded.
struct Form {
    PaintCounter painted;
    VelkanView view;

    explicit Form(ScriptLines script)
    {
        view.listView()->viewport()->installEventFilter(&painted);
        view.show();
        settle();
        view.document().assign(std::move(script), kLoad, true);
        view.document().undoStack()->clear();
        settle();
    }
    ScriptDocument &document() { return view.document(); }
    const ScriptList &list() { return view.document().list(); }

    // Lets the form do what a change left it to do. After a reset the list
    // lays itself out in one pass of the event loop and paints in the next,
    // so passes run until it has painted and a further pass finds nothing
    // more to paint (at most four). Returns whether it painted.
    bool settle()
    {
        const int before = painted.paints;
        for (int pass = 0; pass < 4; ++pass) {
            const int paints = painted.paints;
            QApplication::processEvents();
            if (painted.paints > before && painted.paints == paints)
                break;
        }
        return painted.paints > before;
    }
};

void fail(const char *what)
{
    std::printf("  THE HISTORY WENT WRONG: %s\n", what);
    std::exit(1);
}

// Undo, then redo, of one step made by `act`, each through the form's action
// and followed by the form's settling; `check(true)` after the redo and
// `check(false)` after the undo say whether the script is as it should be.
// The step is taken back after every round, so the script stays as it was.
UndoRedo timeUndoRedo(Form &form, int rounds, int caret, const std::function<void()> &act,
                      const std::function<bool(bool changed)> &check)
{
    UndoRedo times;
    QUndoStack *stack = form.document().undoStack();
    for (int round = -1; round < rounds; ++round) { // round -1 warms up
        form.view.selectLine(caret);
        form.settle();
        const int index = stack->index();
        act();
        form.settle();
        if (stack->index() != index + 1 || !check(true))
            fail("the step was not made");

        auto t = Clock::now();
        form.view.undoAction()->trigger();
        const bool undoPainted = form.settle();
        const double undo = msSince(t);
        if (stack->index() != index || !check(false))
            fail("the undo did not take the step back");

        t = Clock::now();
        form.view.redoAction()->trigger();
        const bool redoPainted = form.settle();
        const double redo = msSince(t);
        if (stack->index() != index + 1 || !check(true))
            fail("the redo did not make the step again");

        form.view.undoAction()->trigger();
        form.settle();
        if (round >= 0) {
            times.undo.ms.push_back(undo);
            times.undo.painted += undoPainted;
            times.redo.ms.push_back(redo);
            times.redo.painted += redoPainted;
        }
    }
    return times;
}

void editFigures(int lines)
{
    Form form(ScriptLines::fromText(makeScript(lines)));
    const int rounds = 31;
    std::printf("single steps in %d lines (min and median of %d, form shown):\n", lines, rounds);

    for (const int row : {lines / 2, 0}) {
        const std::string at = " at row " + std::to_string(row);

        UndoRedo t = timeUndoRedo(
            form, rounds, row,
            [&] { form.document().insertLine(row, "@WAIT(12,96);", kTap, row + 2); },
            [&](bool changed) {
                return form.list().count() == lines + (changed ? 1 : 0) &&
                       (form.list().at(row) == "@WAIT(12,96);") == changed;
            });
        report("undo of a tap" + at, t.undo, kFrameMs);
        report("redo of a tap" + at, t.redo, kFrameMs);

        const std::string before(form.list().at(row));
        t = timeUndoRedo(
            form, rounds, row,
            [&] { form.document().replaceLine(row, "@COLOR(33);", kOverwrite, row); },
            [&](bool changed) {
                return form.list().at(row) == (changed ? "@COLOR(33);" : before);
            });
        report("undo of a line edit" + at, t.undo, kFrameMs);
        report("redo of a line edit" + at, t.redo, kFrameMs);

        const std::string next(form.list().at(row + 1));
        t = timeUndoRedo(
            form, rounds, row, [&] { form.document().removeLines(row, 1, kDelete, row); },
            [&](bool changed) {
                return form.list().count() == lines - (changed ? 1 : 0) &&
                       form.list().at(row) == (changed ? next : before);
            });
        report("undo of a delete" + at, t.undo, kFrameMs);
        report("redo of a delete" + at, t.redo, kFrameMs);
    }
}

void dialogFigures(int lines)
{
    Form form(ScriptLines::fromText(makeScript(lines)));
    const int rounds = 21;
    std::printf("dialog steps in %d lines (min and median of %d, form shown):\n", lines, rounds);

    // As the layout and reveal dialogs write: lines and blocks put in at the
    // caret and elsewhere, a few taken out, all one step.
    const int caret = lines / 2;
    const int inserted = 20, removed = 5;
    UndoRedo t = timeUndoRedo(
        form, rounds, caret,
        [&] {
            ScriptDocument &document = form.document();
            const ScriptDocument::Session session(document, kLayout);
            for (int k = 0; k < 12; ++k) {
                const int at = k < 6 ? caret + k : (lines / 12) * k + 3;
                document.insertLine(at, "@LOCATE(" + std::to_string(k) + ",2);", kLayout,
                                    ScriptDocument::kKeepSelection);
            }
            for (int k = 0; k < 2; ++k) {
                document.insertLines(lines / 3 + k * (lines / 2),
                                     {"@COLOR(15);", "@INKEY(0);", "@GSCREEN(0,0,0);", "@TCLS(0);"},
                                     kLayout);
            }
            for (int k = 0; k < 3; ++k)
                document.removeLines(lines / 5 * (k + 1) + 1, 1, kLayout,
                                     ScriptDocument::kKeepSelection);
            document.removeLines(caret + 40, 2, kLayout, ScriptDocument::kKeepSelection);
        },
        [&](bool changed) {
            return form.list().count() == lines + (changed ? inserted - removed : 0);
        });
    report("undo of a session (20 in, 5 out)", t.undo, kFrameMs);
    report("redo of a session (20 in, 5 out)", t.redo, kFrameMs);

    // The timing offset: every fourth line, a timing line, rewritten in one step.
    Timed made;
    int shifted = 0;
    bool warmedUp = false;
    t = timeUndoRedo(
        form, rounds, caret,
        [&] {
            std::vector<std::pair<int, ScriptLine>> moved;
            moved.reserve(static_cast<std::size_t>(lines / 4 + 1));
            for (int i = 1; i < lines; i += 4)
                moved.emplace_back(i, "@WAIT(" + std::to_string(i / 8 + 1) + ",60);   ");
            shifted = static_cast<int>(moved.size());
            const auto start = Clock::now();
            form.document().replaceLines(std::move(moved), kOffset);
            const bool painted = form.settle();
            const double ms = msSince(start);
            if (std::exchange(warmedUp, true)) {
                made.ms.push_back(ms);
                made.painted += painted;
            }
        },
        [&](bool changed) {
            return form.list().at(5).substr(0, 10) == (changed ? "@WAIT(1,60" : "@WAIT(1,48");
        });
    report("timing offset (" + std::to_string(shifted) + " lines), made", made);
    report("undo of the timing offset", t.undo);
    report("redo of the timing offset", t.redo);
}

void loadFigures(int lines)
{
    const int rounds = 9;
    std::printf("a load of %d lines over another of %d (min and median of %d, form shown):\n",
                lines, lines, rounds);
    Form form(ScriptLines::fromText(makeScript(lines, 1)));
    form.view.selectLine(lines / 2);
    form.settle();
    form.document().assign(ScriptLines::fromText(makeScript(lines, 2)), kLoad, true);
    form.settle();
    QUndoStack *stack = form.document().undoStack();
    if (stack->index() != 1)
        fail("the load made no step");
    const std::string old = "\x89\xCC\x8E\x8C\x82\xCC\x8D\x73 lyric line 3"; // line 2 of variant 1
    UndoRedo t;
    for (int round = -1; round < rounds; ++round) { // round -1 warms up
        auto start = Clock::now();
        form.view.undoAction()->trigger();
        const bool undoPainted = form.settle();
        const double undo = msSince(start);
        if (stack->index() != 0 || form.list().count() != lines || form.list().at(2) != old)
            fail("the undo of the load did not bring the old script back");

        start = Clock::now();
        form.view.redoAction()->trigger();
        const bool redoPainted = form.settle();
        const double redo = msSince(start);
        if (stack->index() != 1 || form.list().at(2) == old)
            fail("the redo of the load did not bring the new script back");
        if (round >= 0) {
            t.undo.ms.push_back(undo);
            t.undo.painted += undoPainted;
            t.redo.ms.push_back(redo);
            t.redo.painted += redoPainted;
        }
    }
    report("undo of the load", t.undo, kLoadMs);
    report("redo of the load", t.redo, kLoadMs);
}

// Heap in use, as the C library counts it: its arenas, and the blocks it maps
// on their own.
struct Heap {
    std::size_t inUse;
    std::size_t mapped;
};

Heap heapNow()
{
    const struct mallinfo2 info = mallinfo2();
    return {info.uordblks, info.hblkhd};
}

double grown(std::size_t from, std::size_t to)
{
    return static_cast<double>(to) - static_cast<double>(from);
}

void memoryFigures(int lines)
{
    constexpr int kTaps = 10000;
    Form form(ScriptLines::fromText(makeScript(lines)));
    int row = lines / 10;
    form.view.selectLine(row);
    form.settle();
    QUndoStack *stack = form.document().undoStack();

    const Heap before = heapNow();
    // Taps as the author makes them: each at the caret, which then moves on
    // past the lyric line.
    for (int k = 0; k < kTaps; ++k) {
        form.document().insertLine(row, "@WAIT(12,96);", kTap, row + 2);
        form.settle();
        row = form.view.selectedIndex();
    }
    const Heap tapped = heapNow();
    for (int k = 0; k < kTaps; ++k) {
        form.view.undoAction()->trigger();
        form.settle();
    }
    const Heap after = heapNow();
    if (stack->count() != kTaps || stack->index() != 0 || form.list().count() != lines)
        fail("the taps were not all undone");
    // What the steps alone hold: what goes when the history is cleared (the
    // stack keeps the room of its list of steps).
    stack->clear();
    form.settle();
    const Heap cleared = heapNow();

    const double growth = grown(before.inUse, after.inUse);
    const double history = grown(cleared.inUse, after.inUse);
    std::printf("heap after %d taps and their undos on %d lines (all steps kept for redo):\n",
                kTaps, lines);
    std::printf("  after the taps:  %+.3f MB in use, %+.3f MB mapped\n",
                grown(before.inUse, tapped.inUse) / 1e6, grown(before.mapped, tapped.mapped) / 1e6);
    std::printf("  after the undos: %+.3f MB in use (%.2f MiB; %.0f bytes a step), %+.3f MB mapped"
                "  (target < %.0f MB, both together: %s)\n",
                growth / 1e6, growth / (1 << 20), growth / kTaps,
                grown(before.mapped, after.mapped) / 1e6, kHistoryBytes / 1e6,
                growth + grown(before.mapped, after.mapped) < kHistoryBytes ? "met" : "MISSED");
    std::printf("  freed by clearing the history: %.3f MB (%.0f bytes a step)\n", history / 1e6,
                history / kTaps);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;

    memoryFigures(lines);
    editFigures(lines);
    dialogFigures(lines);
    loadFigures(1000000);
    return 0;
}
