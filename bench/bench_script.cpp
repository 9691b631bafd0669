// Script list figures: loading and showing a 1,000,000-line script, saving it,
// its line scan, and single-line edits at the top of a long list with the view
// attached.
//   build/bench/bench_script [lines]
#include "BenchScripts.h"
#include "form/ScriptListModel.h"
#include "form/ScriptListView.h"
#include "script/LineEnds.h"
#include "script/RecoveryFile.h"
#include "script/ScriptFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

using namespace velkan;
using Clock = std::chrono::steady_clock;

using velkan::bench::makeScript;

namespace {

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void writeAll(const std::string &path, const std::string &bytes, bool sync)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::perror("write");
    if (sync)
        ::fsync(fd);
    ::close(fd);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void editBench(int lines)
{
    ScriptList list;
    std::vector<ScriptLine> content;
    content.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i)
        content.push_back("@WAIT(" + std::to_string(i) + ",0);");
    list.assign(std::move(content));
    ScriptListModel model(&list);
    ScriptListView view;
    view.setModel(&model);
    view.resize(480, 360);
    view.show();
    view.selectRow(lines / 2);
    QApplication::processEvents();

    std::vector<double> ins, del, over;
    for (int n = 0; n < 50; ++n) {
        auto t = Clock::now();
        list.insert(0, "@COLOR(32);");
        QApplication::processEvents();
        ins.push_back(msSince(t));
        t = Clock::now();
        list.replace(0, "@COLOR(33);");
        QApplication::processEvents();
        over.push_back(msSince(t));
        t = Clock::now();
        list.remove(0);
        QApplication::processEvents();
        del.push_back(msSince(t));
    }
    std::printf(
        "edit at line 0 of %d lines (median of 50, view attached): insert %.3f ms, delete %.3f ms, "
        "overwrite %.3f ms\n",
        lines, median(ins), median(del), median(over));
}

// The plain way to find the line marks, for comparison: a memchr for the
// first Ctrl-Z, then one memchr for each LF before it.
template <class Found> void forEachLineMarkByMemchr(std::string_view text, Found &&found)
{
    const auto find = [](const char *from, const char *to, char c) {
        return static_cast<const char *>(std::memchr(from, c, static_cast<std::size_t>(to - from)));
    };
    const char *const begin = text.data();
    const char *const end = begin + text.size();
    const char *from = begin;
    while (from < end) {
        const char *const stop = find(from, end, '\x1A');
        const char *const limit = stop ? stop : end;
        while (from < limit) {
            const char *const lf = find(from, limit, '\n');
            if (!lf)
                break;
            if (!found(static_cast<std::size_t>(lf - begin)))
                return;
            from = lf + 1;
        }
        if (!stop || !found(static_cast<std::size_t>(stop - begin)))
            return;
        from = stop + 1;
    }
}

// The loader's line scan against the memchr scan over the whole script text,
// in turns so that a change of the machine's speed falls on both; medians of 21.
void scanBench(const std::string &text)
{
    std::size_t sums[2] = {};
    std::vector<double> ms[2];
    for (int round = 0; round < 21; ++round) {
        for (int k = 0; k < 2; ++k) {
            const int which = (round + k) % 2;
            std::size_t sum = 0;
            const auto add = [&](std::size_t i) {
                sum += i;
                return true;
            };
            const auto t = Clock::now();
            if (which == 0)
                forEachLineMark(text, add);
            else
                forEachLineMarkByMemchr(text, add);
            ms[which].push_back(msSince(t));
            sums[which] = sum;
        }
    }
    std::printf(
        "line scan of the script text (median of 21): %.2f ms; a memchr from each line's start "
        "%.2f ms%s\n",
        median(ms[0]), median(ms[1]), sums[0] == sums[1] ? "" : " (THE SCANS DISAGREE)");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int lines = argc > 1 ? std::atoi(argv[1]) : 1000000;

    char dirTemplate[] = "/tmp/velkan-bench-XXXXXX";
    const std::string dir = ::mkdtemp(dirTemplate);
    const std::string in = dir + "/big.wrd", out = dir + "/out.wrd", raw = dir + "/raw.wrd",
                      copy = dir + "/copy.wrd";
    const std::string text = makeScript(lines);
    writeAll(in, text, true);
    std::printf("script: %d lines, %.1f MB\n", lines, text.size() / 1e6);

    // Load and show, once.
    ScriptList list;
    ScriptListModel model(&list);
    ScriptListView view;
    view.setModel(&model);
    view.resize(480, 360);
    view.show();
    QApplication::processEvents();
    auto t = Clock::now();
    list.assign(loadScriptFile(in).lines);
    view.scrollToBottom();
    QApplication::processEvents();
    view.repaint();
    const double shownMs = msSince(t);
    std::printf("load and show in the list: %.0f ms (target < 1000 ms)\n", shownMs);
    list.clear();

    // Core load + save against cat copying the file (and against cat then an
    // fsync of the copy, which is as durable as a save), and the save against
    // one write + fsync of the same bytes; medians of five rounds. Once with
    // every target new, once with every target replacing the file of the round
    // before (as an author saves over a script).
    const std::string cat = "cat " + in + " > " + copy;
    const std::string catSync = cat + " && sync " + copy;
    for (const bool fresh : {true, false}) {
        std::vector<double> catMs, catSyncMs, loadMs, saveMs, rawMs, bothMs;
        for (int round = 0; round < 5; ++round) {
            for (const std::string *target : {&copy, &out, &raw}) {
                if (fresh)
                    ::unlink(target->c_str());
            }
            t = Clock::now();
            if (std::system(cat.c_str()) != 0)
                return 1;
            catMs.push_back(msSince(t));
            if (fresh)
                ::unlink(copy.c_str());
            t = Clock::now();
            if (std::system(catSync.c_str()) != 0)
                return 1;
            catSyncMs.push_back(msSince(t));

            t = Clock::now();
            const LoadResult loaded = loadScriptFile(in);
            loadMs.push_back(msSince(t));
            t = Clock::now();
            if (saveScriptFile(out, loaded.lines) != SaveStatus::Ok)
                return 1;
            saveMs.push_back(msSince(t));
            bothMs.push_back(loadMs.back() + saveMs.back());

            const std::string bytes = joinScriptLines(loaded.lines);
            t = Clock::now();
            writeAll(raw, bytes, true);
            rawMs.push_back(msSince(t));
        }
        std::printf("%s:\n", fresh ? "new target files" : "target files replaced");
        std::printf("  core load %.0f ms + save %.0f ms = %.0f ms; cat copy %.0f ms: %.1fx (target "
                    "<= 5x)\n",
                    median(loadMs), median(saveMs), median(bothMs), median(catMs),
                    median(bothMs) / median(catMs));
        std::printf("  core load + save %.0f ms; cat then sync of the copy %.0f ms: %.1fx\n",
                    median(bothMs), median(catSyncMs), median(bothMs) / median(catSyncMs));
        std::printf("  save %.0f ms; one write + fsync %.0f ms: %.1fx (target <= 3x)\n",
                    median(saveMs), median(rawMs), median(saveMs) / median(rawMs));
    }

    // The recovery copy kept while editing: the whole script encoded and
    // written atomically (flushed), on the UI thread once a second of edits.
    {
        const LoadResult loaded = loadScriptFile(in);
        for (const std::size_t count : {std::size_t(10000), loaded.lines.size()}) {
            RecoveryState state;
            for (std::size_t i = 0; i < count; ++i)
                state.lines.push_back(loaded.lines[i]);
            std::vector<double> encodeMs, writeMs;
            for (int round = 0; round < 5; ++round) {
                t = Clock::now();
                const std::string bytes = encodeRecovery(state);
                encodeMs.push_back(msSince(t));
                t = Clock::now();
                if (writeFileAtomically(dir + "/copy.recovery", bytes).status != SaveStatus::Ok)
                    return 1;
                writeMs.push_back(msSince(t));
            }
            std::printf("recovery copy of %zu lines: encode %.1f ms + write and flush %.1f ms\n",
                        count, median(encodeMs), median(writeMs));
        }
    }

    scanBench(text);

    editBench(100000);
    editBench(1000000);

    std::system(("rm -rf " + dir).c_str());
    return 0;
}
