// The document's history: every change is one step, undo and redo give back
// the exact bytes and the selection, and the modified state follows the
// saved point through undo and redo.
#include "document/ScriptDocument.h"

#include <gtest/gtest.h>
#include <random>

namespace velkan {
namespace {

const QString kStep = QStringLiteral("step");

std::vector<ScriptLine> linesOf(const ScriptDocument &document)
{
    return document.list().lines().toVector();
}

// A document with a selection of its own standing in for the form's list.
struct Fixture {
    ScriptDocument document;
    int selected = -1;
    Fixture()
    {
        document.setSelection([this] { return selected; }, [this](int row) { selected = row; });
    }
};

struct Snapshot {
    std::vector<ScriptLine> lines;
    int selected;
};

enum class Made { Nothing, Step, Load };

// One random change, made through the document: whether it made a step, and
// whether that step was a load (which counts as saved).
Made randomChange(Fixture &f, std::mt19937 &rng)
{
    ScriptDocument &d = f.document;
    const int n = d.list().count();
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(rng);
    };
    const auto line = [&] {
        // Bytes a script may hold: Shift-JIS pairs, CR, NUL, nothing at all.
        static const std::string kLines[] = {"@WAIT(1,0);",          "\x89\xCC", "",
                                             std::string("a\0b", 3), "x\r",      "@END();"};
        return std::string(kLines[pick(0, 5)]) + std::to_string(pick(0, 9));
    };
    const int before = d.undoStack()->index();
    bool load = false;
    switch (pick(0, 7)) {
    case 0:
        d.insertLine(pick(-1, n + 1), line(), kStep, pick(-1, n));
        break;
    case 1:
        d.insertLines(pick(-1, n), {line(), line(), line()}, kStep);
        break;
    case 2:
        d.removeLines(pick(-1, n), pick(0, 3), kStep, pick(-1, n - 1));
        break;
    case 3:
        d.replaceLine(pick(-1, n), pick(0, 3) == 0 && n > 0 ? ScriptLine(d.list().at(0)) : line(),
                      kStep, ScriptDocument::kKeepSelection);
        break;
    case 4: {
        std::vector<std::pair<int, ScriptLine>> lines;
        for (int i = 0; i < n; i += 2)
            lines.emplace_back(i, line());
        d.replaceLines(std::move(lines), kStep);
        break;
    }
    case 5:
        load = pick(0, 1) == 1;
        d.assign(ScriptLines::fromText(line() + "\r\n" + line() + "\n"), kStep, load);
        break;
    case 6: {
        const ScriptDocument::Session session(d, kStep);
        for (int k = pick(0, 3); k > 0; --k) {
            d.insertLine(pick(0, d.list().count()), line(), kStep, ScriptDocument::kKeepSelection);
            d.removeLines(pick(0, d.list().count()), 1, kStep, ScriptDocument::kKeepSelection);
        }
        f.selected = pick(-1, d.list().count() - 1);
        break;
    }
    case 7:
        f.selected = pick(-1, n - 1); // the author moves the selection
        break;
    }
    if (d.undoStack()->index() == before)
        return Made::Nothing;
    return load ? Made::Load : Made::Step;
}

TEST(ScriptDocument, RandomChangesUndoAndRedoExactly)
{
    for (unsigned seed = 1; seed <= 60; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Fixture f;
        f.document.assign(ScriptLines::fromText("one\r\ntwo\r\n\x89\xCC\r\n"), kStep, true);
        f.document.undoStack()->clear();
        f.document.setModified(false);
        // The state after each step, and the step that was saved.
        std::vector<Snapshot> states{{linesOf(f.document), f.selected}};
        int savedAt = 0;
        for (int i = 0; i < 80; ++i) {
            QUndoStack *stack = f.document.undoStack();
            const int roll = std::uniform_int_distribution<int>(0, 9)(rng);
            if (roll == 0 && stack->canUndo()) {
                f.document.undo();
            } else if (roll == 1 && stack->canRedo()) {
                f.document.redo();
            } else if (roll == 2) {
                f.document.setModified(false); // saved
                savedAt = stack->index();
            } else {
                const int index = stack->index();
                const int beforeSelection = f.selected;
                const Made made = randomChange(f, rng);
                if (made == Made::Nothing)
                    continue;
                ASSERT_EQ(stack->index(), index + 1);
                states.resize(static_cast<std::size_t>(index) + 1);
                states.back().selected = beforeSelection;
                states.push_back({linesOf(f.document), f.selected});
                if (savedAt > index)
                    savedAt = -1; // the saved state can no longer be reached
                if (made == Made::Load)
                    savedAt = stack->index();
            }
            const auto at = static_cast<std::size_t>(stack->index());
            ASSERT_EQ(linesOf(f.document), states[at].lines) << "after action " << i;
            ASSERT_EQ(f.document.isModified(), stack->index() != savedAt) << "after action " << i;
        }
        // Undo all, then redo all.
        QUndoStack *stack = f.document.undoStack();
        const int top = stack->count();
        while (stack->canUndo()) {
            f.document.undo();
            const auto at = static_cast<std::size_t>(stack->index());
            ASSERT_EQ(linesOf(f.document), states[at].lines);
            ASSERT_EQ(f.selected, states[at].selected);
            ASSERT_EQ(f.document.isModified(), stack->index() != savedAt);
        }
        while (stack->canRedo())
            f.document.redo();
        ASSERT_EQ(stack->index(), top);
        EXPECT_EQ(linesOf(f.document), states[static_cast<std::size_t>(top)].lines);
    }
}

TEST(ScriptDocument, ChangesThatChangeNothingMakeNoStep)
{
    struct Case {
        const char *name;
        std::function<void(ScriptDocument &)> change;
    };
    const Case cases[] = {
        {"same bytes", [](ScriptDocument &d) { d.replaceLine(0, "a", kStep, 0); }},
        {"no such line", [](ScriptDocument &d) { d.replaceLine(7, "z", kStep, 0); }},
        {"nothing to remove", [](ScriptDocument &d) { d.removeLines(2, 5, kStep, 0); }},
        {"no lines to insert", [](ScriptDocument &d) { d.insertLines(0, {}, kStep); }},
        {"all unchanged",
         [](ScriptDocument &d) {
             d.replaceLines({{0, "a"}, {1, "b"}, {9, "x"}}, kStep);
         }},
        {"empty session", [](ScriptDocument &d) { const ScriptDocument::Session s(d, kStep); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptDocument d;
        d.assign({"a", "b"}, kStep, true);
        c.change(d);
        EXPECT_EQ(d.undoStack()->count(), 1);
        EXPECT_FALSE(d.isModified());
    }
}

TEST(ScriptDocument, ASessionIsOneStepWithItsSelection)
{
    Fixture f;
    f.document.assign({"a", "b", "c"}, kStep, true);
    f.selected = 1;
    {
        const ScriptDocument::Session outer(f.document, QStringLiteral("歌詞表示位置の設定"));
        f.document.insertLine(0, "x", kStep, ScriptDocument::kKeepSelection);
        {
            const ScriptDocument::Session inner(f.document, QStringLiteral("inner"));
            f.document.removeLines(3, 1, kStep, ScriptDocument::kKeepSelection);
        }
        // Undo waits for the session's end.
        f.document.undo();
        EXPECT_EQ(linesOf(f.document), (std::vector<ScriptLine>{"x", "a", "b"}));
        f.selected = 0;
    }
    ASSERT_EQ(f.document.undoStack()->count(), 2);
    EXPECT_EQ(f.document.undoStack()->undoText(), QStringLiteral("歌詞表示位置の設定"));
    f.document.undo();
    EXPECT_EQ(linesOf(f.document), (std::vector<ScriptLine>{"a", "b", "c"}));
    EXPECT_EQ(f.selected, 1);
    EXPECT_FALSE(f.document.isModified());
    f.document.redo();
    EXPECT_EQ(linesOf(f.document), (std::vector<ScriptLine>{"x", "a", "b"}));
    EXPECT_EQ(f.selected, 0);
}

TEST(ScriptDocument, UndoingALoadKeepsTheOldLinesBlock)
{
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "line " + std::to_string(i) + "\r\n";
    ScriptDocument d;
    d.assign(ScriptLines::fromText(text), kStep, true);
    d.assign({"new"}, QStringLiteral("歌詞読込"), true);
    d.undo();
    // Still the loaded text's lines, back to back, not copies of each line.
    EXPECT_EQ(d.list().lines().loadedRun(0), 1000u);
    EXPECT_TRUE(d.isModified());
    d.redo();
    EXPECT_FALSE(d.isModified());
}

} // namespace
} // namespace velkan
