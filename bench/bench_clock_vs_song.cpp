// The beat clock against the music. Each song below plays through FluidSynth
// (file driver unless VELKAN_AUDIO_DRIVER says otherwise) while the beat clock
// runs on the song's timeline and its timer wakes at every beat's start, as
// the editor runs them. For each beat, the moment the clock enters it is
// compared with the moment the block of samples that plays it sounds: the
// player tells each block's position as it counts it, and the blocks are
// placed on the even pace the device keeps (the file driver renders them on
// a millisecond timer of its own, up to a millisecond or more off that pace;
// the worst beat against those render moments is shown beside). The constant
// start offset (the sequencer's start-up) is reported on its own; the target
// is every beat within 2 ms of that offset, to the end of the song. How late
// the timer entered any beat after its deadline is shown too, with the worst
// beat apart from those it entered over a millisecond late (the machine held
// its thread): the rest of a beat's distance is the player's, whose blocks
// fall 1.45 ms apart and whose clock counts whole milliseconds.
//
// Then a simulated tap sweep: taps 1 to 20 ms either side of every beat edge
// of each song, through the stamp function the editor uses. Target: no tap
// stamped into the wrong beat.
//
// At another speed (--at PERCENT) the sequencer and the clock are both set to
// it before the song starts, and MINUTES count the music, not the wall clock:
// 5 minutes at 50 % play for 10. With --changes the song starts as written and
// turns to 50 % a third of the way in and to 150 % two thirds in, the clock
// turning where the sequencer says it took the speed up (the timer waits
// meanwhile, as the editor's does); each stretch is held to the same 2 ms.
//
//   bench_clock_vs_song [--at PERCENT | --changes] [MINUTES [SONG...]]
//                                               (as written, 5 minutes, every song)
#include "midi/BeatClock.h"
#include "midi/LyricFollow.h"
#include "midi/SongTimeline.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/PeriodicTimer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono;
using velkan::BeatClock;
using velkan::SongTimeline;
using velkan::TempoEvent;
using velkan::TimeSignatureEvent;

namespace {

constexpr int kDivision = 480;
// A timer entering its beat later than this was held off the processor.
constexpr double kHeldMs = 1.0;

struct Song {
    const char *name;
    std::vector<TempoEvent> tempos;
    std::vector<TimeSignatureEvent> signatures;
};

// Roughly `minutes` of music at about 500 ms a quarter, whatever the tempos.
std::int64_t quartersFor(double minutes)
{
    return static_cast<std::int64_t>(minutes * 60 * 2);
}

std::vector<Song> makeSongs(double minutes)
{
    const std::int64_t quarters = quartersFor(minutes);
    std::vector<Song> songs;
    songs.push_back({"steady", {{0, 461538}}, {{0, 4, 2}}});

    Song tick0{"one-tick", {{0, 1000000}, {0, 416667}}, {{0, 4, 2}}};
    for (std::int64_t q = 16; q < quarters; q += 16) {
        tick0.tempos.push_back({q * kDivision, 700000});
        tick0.tempos.push_back({q * kDivision, q % 32 ? 480000u : 530000u});
    }
    songs.push_back(tick0);

    Song inside{"inside-quarters", {}, {{0, 4, 2}}};
    for (std::int64_t t = kDivision / 3, i = 0; t < quarters * kDivision;
         t += kDivision * 3 / 2 + 37, ++i)
        inside.tempos.push_back({t, i % 2 ? 380000u : 560000u});
    songs.push_back(inside);

    Song rubato{"rubato-400", {}, {{0, 3, 2}}};
    std::mt19937 rng(400);
    for (int i = 0; i < 400; ++i) {
        const auto tick = std::uniform_int_distribution<std::int64_t>(0, quarters * kDivision)(rng);
        rubato.tempos.push_back(
            {tick, std::uniform_int_distribution<std::uint32_t>(350000, 800000)(rng)});
        if (i % 50 == 0) // now and then two on one tick
            rubato.tempos.push_back({tick, 450000});
    }
    std::stable_sort(rubato.tempos.begin(), rubato.tempos.end(),
                     [](const TempoEvent &a, const TempoEvent &b) { return a.tick < b.tick; });
    songs.push_back(rubato);

    // Meter changes that fall inside bars, odd meters and a pickup.
    Song meters{"meters-in-bars", {{0, 500000}}, {{0, 1, 2}, {kDivision, 4, 2}}};
    const int cycle[][2] = {{3, 2}, {5, 3}, {3, 3}, {7, 3}, {4, 2}, {6, 3}, {9, 3}, {2, 2}};
    int c = 0;
    for (std::int64_t t = kDivision * 7 + kDivision / 2; t < quarters * kDivision;
         t += kDivision * 11, ++c)
        meters.signatures.push_back({t, cycle[c % 8][0], cycle[c % 8][1]});
    songs.push_back(meters);
    return songs;
}

void put32(std::string &out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void putVlq(std::string &out, std::uint64_t v)
{
    std::string bytes(1, static_cast<char>(v & 0x7F));
    while (v >>= 7)
        bytes.insert(bytes.begin(), static_cast<char>(0x80 | (v & 0x7F)));
    out += bytes;
}

std::string chunk(const std::string &events)
{
    std::string out = "MTrk";
    put32(out, static_cast<std::uint32_t>(events.size()));
    return out + events;
}

// A format 1 file: the tempo and meter map in track 1, a note on every beat
// in track 2 (so that it can be listened to).
std::string encode(const Song &song, const SongTimeline &timeline, std::int64_t endTick)
{
    struct Meta {
        std::int64_t tick;
        std::string bytes;
    };
    std::vector<Meta> metas;
    for (const TempoEvent &e : song.tempos)
        metas.push_back(
            {e.tick, std::string{'\xFF', 0x51, 3, static_cast<char>(e.usPerQuarter >> 16),
                                 static_cast<char>(e.usPerQuarter >> 8),
                                 static_cast<char>(e.usPerQuarter)}});
    for (const TimeSignatureEvent &s : song.signatures)
        metas.push_back({s.tick, std::string{'\xFF', 0x58, 4, static_cast<char>(s.numerator),
                                             static_cast<char>(s.denominatorExponent), 24, 8}});
    std::stable_sort(metas.begin(), metas.end(),
                     [](const Meta &a, const Meta &b) { return a.tick < b.tick; });
    std::string map;
    std::int64_t at = 0;
    for (const Meta &m : metas) {
        putVlq(map, static_cast<std::uint64_t>(m.tick - at));
        map += m.bytes;
        at = m.tick;
    }
    putVlq(map, static_cast<std::uint64_t>(std::max<std::int64_t>(endTick - at, 0)));
    map += std::string("\xFF\x2F\x00", 3);

    std::string notes;
    at = 0;
    for (std::int64_t t = 0; t < endTick; t = timeline.beatAt(t).endTick) {
        const char key = static_cast<char>(timeline.beatAt(t).beat == 1 ? 72 : 64);
        putVlq(notes, static_cast<std::uint64_t>(t - at));
        notes += std::string{'\x90', key, 0x50};
        putVlq(notes, 60);
        notes += std::string{'\x80', key, 0};
        at = t + 60;
    }
    putVlq(notes, static_cast<std::uint64_t>(std::max<std::int64_t>(endTick - at, 0)));
    notes += std::string("\xFF\x2F\x00", 3);

    std::string smf = "MThd";
    put32(smf, 6);
    smf += std::string("\x00\x01\x00\x02", 4);
    smf.push_back(static_cast<char>(kDivision >> 8));
    smf.push_back(static_cast<char>(kDivision & 0xFF));
    return smf + chunk(map) + chunk(notes);
}

std::int64_t nanosOf(steady_clock::time_point t)
{
    return duration_cast<nanoseconds>(t.time_since_epoch()).count();
}

// The speed a run starts at, and the speeds it turns to when the song
// reaches the given share of its beats.
struct SpeedPlan {
    double start = 1.0;
    std::vector<std::pair<double, double>> changes;
};

struct Result {
    int beats = 0;
    double offsetMs = 0, worstMs = 0, meanMs = 0, rawMin = 0, rawMax = 0;
    // The latest the timer entered a beat after the deadline it was given.
    double timerLateMs = 0;
    // The worst beat against the moments the blocks were rendered rather
    // than where they sound; the player's block as the device paced it.
    double renderWorstMs = 0, msPerBlock = 0;
    // The worst beat apart from those the timer entered over kHeldMs late:
    // moments the machine held the timer's thread (a virtual machine's host
    // does that to any thread now and then, a real-time one included), and
    // how many such beats there were.
    double onTimeWorstMs = 0;
    int heldBeats = 0;
    // Each stretch at one speed: its speed, its worst beat from the offset and
    // its median beat's (a jump at a change moves the whole stretch).
    struct Stretch {
        double speed, worstMs, shiftMs;
    };
    std::vector<Stretch> stretches;
};

// The first beat of each stretch at one speed, its speed, and whether the
// clock turned to it where the player said it did.
struct StretchStart {
    std::size_t beat;
    double speed;
    bool atPlace;
};

// Each beat's distance of the clock from the music (diffs[n - 1] for beat n)
// against the start offset; the worst and the mean over the beats `counted`
// (every one when it is empty).
void score(const std::vector<double> &diffs, const std::vector<StretchStart> &stretchStarts,
           Result &result, const std::vector<bool> &counted = {})
{
    const std::size_t compared = diffs.size();
    // The start offset is a shift in time of the clock against the player
    // (its start-up). A clock that turns where the player did keeps it as it
    // is; one turned at the same moment as the player keeps its share of the
    // song instead, which lasts longer or shorter at the new speed. Each
    // stretch is held to it, so carried over.
    const std::size_t firstStretch =
        std::min(stretchStarts.size() > 1 ? stretchStarts[1].beat - 1 : compared, compared);
    std::vector<double> sorted(diffs.begin(),
                               diffs.begin() + static_cast<std::ptrdiff_t>(firstStretch));
    std::sort(sorted.begin(), sorted.end());
    result.beats = static_cast<int>(compared);
    result.offsetMs = sorted[sorted.size() / 2];
    result.rawMin = *std::min_element(diffs.begin(), diffs.end());
    result.rawMax = *std::max_element(diffs.begin(), diffs.end());
    double sum = 0;
    double offset = result.offsetMs;
    for (std::size_t i = 0; i < stretchStarts.size(); ++i) {
        const std::size_t from = stretchStarts[i].beat;
        const std::size_t to =
            i + 1 < stretchStarts.size() ? stretchStarts[i + 1].beat : compared + 1;
        if (i > 0 && !stretchStarts[i].atPlace)
            offset *= stretchStarts[i - 1].speed / stretchStarts[i].speed;
        double worst = 0;
        std::vector<double> offs;
        for (std::size_t n = from; n < to && n <= compared; ++n) {
            if (!counted.empty() && !counted[n - 1])
                continue;
            offs.push_back(diffs[n - 1] - offset);
            worst = std::max(worst, std::abs(offs.back()));
            sum += std::abs(offs.back());
        }
        std::sort(offs.begin(), offs.end());
        result.worstMs = std::max(result.worstMs, worst);
        result.stretches.push_back(
            {stretchStarts[i].speed, worst, offs.empty() ? 0.0 : offs[offs.size() / 2]});
    }
    const auto beatsCounted =
        counted.empty()
            ? compared
            : static_cast<std::size_t>(std::count(counted.begin(), counted.end(), true));
    result.meanMs = beatsCounted ? sum / static_cast<double>(beatsCounted) : 0;
}

bool playAndCompare(const Song &song, double minutes, const SpeedPlan &plan, Result &result)
{
    const auto timeline =
        std::make_shared<const SongTimeline>(kDivision, song.tempos, song.signatures);
    std::int64_t endTick = 0;
    while (timeline->nanosAt(endTick) < static_cast<std::int64_t>(minutes * 60e9))
        endTick = timeline->beatAt(endTick).endTick;
    // The file's own timeline, as the editor reads it, must be this one.
    const std::string smf = encode(song, *timeline, endTick);
    const auto fromFile = SongTimeline::fromSmf(smf);
    if (!fromFile || fromFile->nanosAt(endTick) != timeline->nanosAt(endTick)) {
        std::printf("%s: the file reads back another timeline\n", song.name);
        return false;
    }

    std::vector<std::int64_t> beatTicks;
    for (std::int64_t t = 0; t < endTick; t = timeline->beatAt(t).endTick)
        beatTicks.push_back(t);
    const std::size_t beats = beatTicks.size();

    // When the timer entered each beat and the deadline it was given; the
    // player's block that plays each beat and when it was rendered, which the
    // audio thread writes until the observer is taken off.
    std::vector<steady_clock::time_point> clockAt(beats), dueAt(beats), songAt(beats);
    std::vector<std::int64_t> songBlock(beats);
    std::int64_t blocks = 0;
    std::atomic<std::size_t> clockBeat{0}, songBeat{0};

    const auto path = std::filesystem::temp_directory_path() / "velkan-bench-clock.mid";
    std::ofstream(path, std::ios::binary) << smf;
    velkan::FluidSynthSequencer seq;
    if (const auto opened = seq.open(path.string()); !opened) {
        std::printf("open failed: %s\n", opened.error.c_str());
        return false;
    }
    const std::int32_t length = seq.lengthSixteenths().value;
    // The player's position, block by block as it plays them (a poll would
    // add its own fraction of a millisecond).
    seq.observeBlocks([&](std::int32_t sixteenths) {
        const std::int64_t block = blocks++;
        const std::int64_t tick = timeline->tickOfSixteenth(sixteenths);
        std::size_t n = songBeat.load(std::memory_order_relaxed);
        if (n + 1 >= beats || beatTicks[n + 1] > tick)
            return;
        const auto now = steady_clock::now();
        while (n + 1 < beats && beatTicks[n + 1] <= tick) {
            songAt[++n] = now;
            songBlock[n] = block;
        }
        songBeat.store(n, std::memory_order_release);
    });
    BeatClock clock;
    clock.setTimeline(timeline);
    velkan::PeriodicTimer timer;

    if (const auto set = seq.setSpeed(plan.start); !set) {
        std::printf("speed failed: %s\n", set.error.c_str());
        return false;
    }
    if (const auto played = seq.playFrom(0); !played) {
        std::printf("play failed: %s\n", played.error.c_str());
        return false;
    }
    // As the editor does it: the clock runs from the moment play returned.
    const auto start = steady_clock::now();
    clock.runFrom(0, nanosOf(start), length, plan.start);
    clockAt[0] = dueAt[0] = songAt[0] = start;
    const auto at = [&](std::int64_t tick) {
        return steady_clock::time_point(nanoseconds(clock.nanosOf(tick)));
    };
    const auto onBeat = [&]() -> std::optional<steady_clock::time_point> {
        const std::size_t n = clockBeat.load() + 1;
        clockAt[n] = steady_clock::now();
        clockBeat = n;
        if (n + 1 >= beats)
            return std::nullopt;
        dueAt[n + 1] = at(beatTicks[n + 1]);
        return dueAt[n + 1];
    };
    dueAt[1] = at(beatTicks[1]);
    timer.startScheduled(dueAt[1], onBeat);

    std::vector<StretchStart> stretchStarts{{1, plan.start, false}};
    std::size_t nextChange = 0;
    double slowest = plan.start;
    for (const auto &change : plan.changes)
        slowest = std::min(slowest, change.second);

    const auto giveUp =
        start + nanoseconds(static_cast<std::int64_t>(timeline->nanosAt(endTick) / slowest)) +
        seconds(5);
    while (songBeat.load() + 1 < beats && steady_clock::now() < giveUp) {
        if (nextChange < plan.changes.size() &&
            songBeat.load() >= static_cast<std::size_t>(plan.changes[nextChange].first * beats)) {
            // Just past a beat, so the next is far off. The timer waits while
            // the clock changes, then goes on to the clock's next beat.
            const double speed = plan.changes[nextChange++].second;
            timer.stop();
            if (const auto set = seq.setSpeed(speed); !set) {
                std::printf("speed failed: %s\n", set.error.c_str());
                return false;
            }
            // As the editor does: where the player took the speed up, if it says.
            const std::int64_t now = nanosOf(steady_clock::now());
            const auto songNanos = seq.speedChangeSongNanos();
            if (songNanos)
                clock.setSpeedFrom(speed, *songNanos, now);
            else
                clock.setSpeed(speed, now);
            const std::size_t n = clockBeat.load();
            stretchStarts.push_back({n + 1, speed, songNanos.has_value()});
            if (n + 1 < beats) {
                dueAt[n + 1] = at(beatTicks[n + 1]);
                timer.startScheduled(dueAt[n + 1], onBeat);
            }
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    const std::size_t songBeats = songBeat.load(std::memory_order_acquire);
    for (int i = 0; i < 1000 && clockBeat.load() < songBeats; ++i)
        std::this_thread::sleep_for(milliseconds(1));
    timer.stop();
    seq.stop();
    seq.observeBlocks({});
    std::filesystem::remove(path);

    const std::size_t compared = std::min(songBeats, clockBeat.load());
    if (compared == 0)
        return false;
    // How late the timer entered each beat, and whether it was on time.
    std::vector<bool> onTime;
    for (std::size_t n = 1; n <= compared; ++n) {
        const double lateMs = duration<double, std::milli>(clockAt[n] - dueAt[n]).count();
        result.timerLateMs = std::max(result.timerLateMs, lateMs);
        onTime.push_back(lateMs <= kHeldMs);
    }
    // Where the blocks sound. A sound card plays its samples evenly, but the
    // file driver renders on a millisecond timer of its own, up to a
    // millisecond or so off that even pace; so the blocks are placed on the
    // straight line that fits their render moments best: the device's own
    // pace and start, as the music comes out of it.
    double sk = 0, st = 0, skk = 0, skt = 0;
    const auto msOf = [&](steady_clock::time_point t) {
        return duration<double, std::milli>(t - start).count();
    };
    for (std::size_t n = 1; n <= compared; ++n) {
        const auto k = static_cast<double>(songBlock[n]);
        sk += k;
        st += msOf(songAt[n]);
        skk += k * k;
        skt += k * msOf(songAt[n]);
    }
    const auto count = static_cast<double>(compared);
    const double denominator = count * skk - sk * sk;
    const double msPerBlock = denominator != 0 ? (count * skt - sk * st) / denominator : 0;
    const double firstBlockMs = (st - msPerBlock * sk) / count;
    std::vector<double> diffs, renderDiffs;
    for (std::size_t n = 1; n <= compared; ++n) {
        const double soundsMs = firstBlockMs + msPerBlock * static_cast<double>(songBlock[n]);
        diffs.push_back(msOf(clockAt[n]) - soundsMs);
        renderDiffs.push_back(msOf(clockAt[n]) - msOf(songAt[n]));
    }
    result.msPerBlock = msPerBlock;
    score(diffs, stretchStarts, result);
    Result atRender;
    score(renderDiffs, stretchStarts, atRender);
    result.renderWorstMs = atRender.worstMs;
    result.heldBeats = static_cast<int>(std::count(onTime.begin(), onTime.end(), false));
    Result whenOnTime;
    score(diffs, stretchStarts, whenOnTime, onTime);
    result.onTimeWorstMs = whenOnTime.worstMs;
    return compared + 1 == beats;
}

// Taps 1..20 ms either side of every beat edge within `minutes` of music,
// played at `speed`.
void tapSweep(const Song &song, double minutes, double speed, long &taps, long &wrong)
{
    const auto timeline =
        std::make_shared<const SongTimeline>(kDivision, song.tempos, song.signatures);
    BeatClock clock;
    clock.setTimeline(timeline);
    clock.runFrom(0, 0, std::numeric_limits<std::int32_t>::max(), speed);
    const auto lineOf = [](const velkan::BeatPlace &b) {
        return velkan::lyricFollowLine(velkan::BarBeat{b.bar, b.beat});
    };
    for (std::int64_t edge = timeline->beatAt(0).endTick;
         timeline->nanosAt(edge) < static_cast<std::int64_t>(minutes * 60e9);
         edge = timeline->beatAt(edge).endTick) {
        const auto before = lineOf(timeline->beatAt(edge - 1));
        const auto after = lineOf(timeline->beatAt(edge));
        const std::int64_t at = clock.nanosOf(edge);
        const std::int64_t room = std::min(at - clock.nanosOf(timeline->beatAt(edge - 1).startTick),
                                           clock.nanosOf(timeline->beatAt(edge).endTick) - at);
        for (int ms = 1; ms <= 20; ++ms) {
            const std::int64_t off = ms * 1'000'000LL;
            if (off >= room)
                break;
            taps += 2;
            wrong += velkan::lyricFollowLine(clock, at + off) != after;
            wrong += velkan::lyricFollowLine(clock, at - off) != before;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    SpeedPlan plan;
    int first = 1;
    if (argc > 2 && std::string(argv[1]) == "--at") {
        plan.start = std::atof(argv[2]) / 100;
        first = 3;
    } else if (argc > 1 && std::string(argv[1]) == "--changes") {
        plan.changes = {{1.0 / 3, 0.5}, {2.0 / 3, 1.5}};
        first = 2;
    }
    const double minutes = argc > first ? std::atof(argv[first]) : 5.0;
    ::setenv("VELKAN_AUDIO_DRIVER", "file", 0);
    const std::vector<Song> songs = makeSongs(minutes);

    bool allMet = true;
    for (const Song &song : songs) {
        bool chosen = argc <= first + 1;
        for (int i = first + 1; i < argc; ++i)
            chosen = chosen || song.name == std::string(argv[i]);
        if (!chosen)
            continue;
        long taps = 0, wrong = 0;
        tapSweep(song, minutes, plan.start, taps, wrong);
        Result r;
        const bool whole = playAndCompare(song, minutes, plan, r);
        const bool met = whole && r.worstMs <= 2.0 && wrong == 0;
        allMet = allMet && met;
        const auto twoPlaces = [](double ms, const char *format = "%.2f") {
            char text[32];
            std::snprintf(text, sizeof text, format, ms);
            return std::string(text);
        };
        std::string speeds;
        for (const Result::Stretch &stretch : r.stretches)
            speeds +=
                (speeds.empty() ? "" : " -> ") + std::to_string(std::lround(stretch.speed * 100)) +
                " %" +
                (r.stretches.size() > 1 ? " (worst " + twoPlaces(stretch.worstMs) + ", median " +
                                              twoPlaces(stretch.shiftMs, "%+.2f") + " ms)"
                                        : "");
        std::printf(
            "%-16s %3zu tempo events  %5d beats over %.1f min at %s  start offset %+.2f ms  "
            "worst beat %.2f ms from it, mean %.2f (raw %+.2f .. %+.2f)  "
            "timer late at most %.2f ms (over %.0f ms at %d beats; worst beat apart from them "
            "%.2f ms)  against the render moments worst %.2f ms (a block every %.4f ms)  "
            "taps %ld, wrong %ld  %s\n",
            song.name, song.tempos.size(), r.beats, minutes, speeds.c_str(), r.offsetMs, r.worstMs,
            r.meanMs, r.rawMin, r.rawMax, r.timerLateMs, kHeldMs, r.heldBeats, r.onTimeWorstMs,
            r.renderWorstMs, r.msPerBlock, taps, wrong,
            met ? "met" : (whole ? "MISSED" : "INCOMPLETE"));
        std::fflush(stdout);
    }
    std::printf("targets (every beat within 2 ms of the start offset, no wrong tap): %s\n",
                allMet ? "met" : "MISSED");
    return allMet ? 0 : 1;
}
