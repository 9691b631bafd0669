#include "VelkanTool.h"

#include "aids/core/TimingOffset.h"
#include "midi/BarMath.h"
#include "midi/BeatClock.h"
#include "midi/KaraokeLyrics.h"
#include "midi/LyricFollow.h"
#include "midi/MidiBytes.h"
#include "midi/MidiReader.h"
#include "midi/TapGrid.h"
#include "player/PlayerReading.h"
#include "player/ScriptCheck.h"
#include "script/LyricsFile.h"
#include "script/Messages.h"
#include "script/ScriptFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <ostream>

namespace velkan {

namespace {

constexpr std::string_view kStandardStream = "-";
constexpr int kSlowestPercent = 50;
constexpr int kFastestPercent = 150;
constexpr int kPercentStep = 5;
constexpr int kLatestTapMs = 1000; // a tap offset either way
constexpr const char *kStandardInputPath = "/dev/stdin";
constexpr std::string_view kCannotWriteStdout = "標準出力に書き込めません";
// A file without a header, or one that counts time in SMPTE frames or in 0
// ticks a quarter: it has no bars or beats to count.
constexpr std::string_view kNoTimeline =
    "MIDI ファイルとして読めません (ヘッダーがないか、分解能が 0 か SMPTE です)";

bool isTimingOffsetStep(int steps)
{
    for (const TimingOffsetChoice &c : timingOffsetChoices())
        if (c.steps == steps)
            return true;
    return false;
}

// Milliseconds as typed: digits with at most one decimal point, a '+' in
// front as QUARTER takes it; no minus, no exponent, no "inf".
std::optional<double> parseMilliseconds(const std::string &text)
{
    std::string_view number = text;
    if (number.starts_with('+'))
        number.remove_prefix(1);
    const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    if (std::count(number.begin(), number.end(), '.') > 1 ||
        !std::all_of(number.begin(), number.end(),
                     [&](char c) { return c == '.' || isDigit(c); }) ||
        std::none_of(number.begin(), number.end(), isDigit))
        return std::nullopt;
    double value = 0;
    const char *end = number.data() + number.size();
    const auto [stop, ec] = std::from_chars(number.data(), end, value, std::chars_format::fixed);
    if (ec != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::string stepsList()
{
    std::string list;
    for (const TimingOffsetChoice &c : timingOffsetChoices())
        list += (list.empty() ? "" : ", ") + std::to_string(c.steps);
    return list;
}

} // namespace

VelkanTool::VelkanTool(std::ostream &out, std::ostream &err, const FileSystem &fs)
    : m_out(out), m_err(err), m_fs(fs)
{
}

int VelkanTool::run(const std::vector<std::string> &args)
{
    if (args.empty())
        return usageError(ToolCommand::None, "no command given");
    const std::string &first = args.front();
    if (first == "-h" || first == "--help") {
        m_out << toolHelp(ToolCommand::None);
        return flushOut() ? kExitOk : kExitFailure;
    }
    if (first == "--version") {
        m_out << kToolName << ' ' << kToolVersion << '\n';
        return flushOut() ? kExitOk : kExitFailure;
    }
    const std::optional<ToolCommand> command = toolCommandNamed(first);
    if (!command)
        return usageError(ToolCommand::None, "unknown command '" + first + "'");

    const std::vector<std::string> rest(args.begin() + 1, args.end());
    ToolOptions accepted;
    accepted.output = *command == ToolCommand::New || *command == ToolCommand::Lyrics ||
                      *command == ToolCommand::Shift;
    accepted.song = *command == ToolCommand::Shift || *command == ToolCommand::Trace ||
                    *command == ToolCommand::Check;
    accepted.tapping = *command == ToolCommand::Clock;
    const ToolArgs parsed = parseToolArgs(rest, accepted);
    // --help wins over anything else on the line, as users expect.
    if (parsed.help) {
        m_out << toolHelp(*command);
        return flushOut() ? kExitOk : kExitFailure;
    }
    if (!parsed.ok())
        return usageError(*command, parsed.error);

    switch (*command) {
    case ToolCommand::New:
        return runNew(parsed);
    case ToolCommand::Lyrics:
        return runLyrics(parsed);
    case ToolCommand::Tempo:
        return runTempo(parsed);
    case ToolCommand::Locate:
        return runLocate(parsed);
    case ToolCommand::Clock:
        return runClock(parsed);
    case ToolCommand::Shift:
        return runShift(parsed);
    case ToolCommand::Trace:
        return runTrace(parsed);
    case ToolCommand::Check:
        return runCheck(parsed);
    case ToolCommand::None:
        break;
    }
    return usageError(ToolCommand::None, "no command given");
}

int VelkanTool::runNew(const ToolArgs &args)
{
    if (args.operands.size() != 1)
        return usageError(ToolCommand::New,
                          args.operands.empty() ? "LYRICS missing" : "too many operands");
    const std::string &lyrics = args.operands[0];
    const LyricsLoadResult loaded = loadLyricsFile(inputPath(lyrics), m_fs);
    if (loaded.problem)
        return failure(conversionProblemMessage(*loaded.problem, loaded.encoding), lyrics);
    // A read that breaks off is a failure here: half a script is never written.
    if (loaded.status != LoadResult::Status::Ok)
        return failure(messages::kCannotOpenInput, lyrics);
    if (!writeScript(args.output, loaded.lines))
        return kExitFailure;
    // The script is Shift-JIS whatever LYRICS was: say so when it was not.
    if (loaded.encoding != TextEncoding::ShiftJis) {
        m_err << kToolName << ": " << encodingName(loaded.encoding)
              << " のファイルを Shift-JIS に変換しました: " << lyrics << '\n';
        m_err.flush();
    }
    return kExitOk;
}

int VelkanTool::runLyrics(const ToolArgs &args)
{
    if (args.operands.size() != 1)
        return usageError(ToolCommand::Lyrics,
                          args.operands.empty() ? "SONG.mid missing" : "too many operands");
    const std::string &song = args.operands[0];
    std::string image;
    const MidiReadResult read = readMidiFile(song, &image);
    if (!read.ok())
        return failure(midiReadMessage(read.status), song);
    if (!read.timeline)
        return failure(kNoTimeline, song);
    const std::optional<std::vector<ScriptLine>> script = scriptFromKaraoke(image, *read.timeline);
    if (!script)
        return failure(messages::kNoLyrics, song);
    return writeScript(args.output, *script) ? kExitOk : kExitFailure;
}

std::optional<VelkanTool::LoadedSong> VelkanTool::loadSong(const std::string &song)
{
    MidiReadResult read = readMidiFile(song);
    if (!read.ok()) {
        failure(midiReadMessage(read.status), song);
        return std::nullopt;
    }
    if (!read.timeline) {
        failure(kNoTimeline, song);
        return std::nullopt;
    }
    LoadedSong loaded;
    loaded.lines = std::move(read.lines);
    loaded.timeline = std::make_shared<const SongTimeline>(std::move(*read.timeline));
    // The editor takes the length from the device, which measures the file
    // itself (a second read, as there).
    std::string image;
    if (m_fs.readText(song, image) == FileSystem::ReadStatus::Ok)
        loaded.length = songLengthSixteenths(unwrapRmid(image)).value_or(0);
    return loaded;
}

int VelkanTool::runTempo(const ToolArgs &args)
{
    if (args.operands.size() != 1)
        return usageError(ToolCommand::Tempo,
                          args.operands.empty() ? "SONG.mid missing" : "too many operands");
    const std::optional<LoadedSong> song = loadSong(args.operands[0]);
    if (!song)
        return kExitFailure;

    // The position display names the bar that holds the song's end.
    BeatClock clock;
    clock.setTimeline(song->timeline);
    const int completed = clock.locate(song->timeline->tickOfSixteenth(song->length));

    for (const std::string &line : song->lines)
        m_out << line << '\n';
    m_out << "length " << song->length << '\n' << '/' << completed + 1 << '\n';
    return flushOut() ? kExitOk : kExitFailure;
}

int VelkanTool::runLocate(const ToolArgs &args)
{
    if (args.operands.size() != 2)
        return usageError(ToolCommand::Locate, args.operands.size() < 2
                                                   ? "SONG.mid and QUARTER needed"
                                                   : "too many operands");
    const std::optional<int> quarter = parseWholeInt(args.operands[1]);
    if (!quarter || *quarter < 0)
        return usageError(ToolCommand::Locate,
                          "QUARTER must be a whole number from 0, not '" + args.operands[1] + "'");
    const std::optional<LoadedSong> song = loadSong(args.operands[0]);
    if (!song)
        return kExitFailure;

    BeatClock clock;
    clock.setTimeline(song->timeline);
    const int completed = clock.locate(std::int64_t{*quarter} * song->timeline->division());
    const BeatPlace beat = clock.beatAt(0); // standing: any moment reads the same
    m_out << "bar " << beat.bar << " beat " << beat.beat << " completed " << completed << '\n';
    return flushOut() ? kExitOk : kExitFailure;
}

int VelkanTool::runClock(const ToolArgs &args)
{
    if (args.operands.size() < 2)
        return usageError(ToolCommand::Clock, "SONG.mid and MS needed");
    // The editor's speed box: 50 % to 150 % in steps of 5.
    int percent = 100;
    if (args.speed) {
        const std::optional<int> value = parseWholeInt(*args.speed);
        if (!value || *value < kSlowestPercent || *value > kFastestPercent ||
            *value % kPercentStep != 0)
            return usageError(ToolCommand::Clock,
                              "--speed PERCENT must be 50 to 150 in steps of 5, not '" +
                                  *args.speed + "'");
        percent = *value;
    }
    StampGrid grid = StampGrid::Quarter;
    if (args.grid) {
        const std::optional<StampGrid> named = parseGrid(*args.grid);
        if (!named)
            return usageError(ToolCommand::Clock,
                              "--grid must be 4, 8, 16 or step, not '" + *args.grid + "'");
        grid = *named;
    }
    int latencyMs = 0;
    if (args.latency) {
        const std::optional<int> value = parseWholeInt(*args.latency);
        if (!value || *value < -kLatestTapMs || *value > kLatestTapMs)
            return usageError(ToolCommand::Clock,
                              "--latency MS must be a whole number from -1000 to 1000, not '" +
                                  *args.latency + "'");
        latencyMs = *value;
    }
    std::vector<std::int64_t> moments;
    for (auto it = args.operands.begin() + 1; it != args.operands.end(); ++it) {
        const std::optional<double> ms = parseMilliseconds(*it);
        if (!ms)
            return usageError(ToolCommand::Clock,
                              "MS must be milliseconds from 0, not '" + *it + "'");
        // Past 285 years every song has long ended: held there so the
        // nanoseconds stay inside 64 bits.
        moments.push_back(std::llround(std::min(*ms * 1e6, 9e18)));
    }
    const std::optional<LoadedSong> song = loadSong(args.operands[0]);
    if (!song)
        return kExitFailure;

    // As 開始(s) from the top at that speed: tick 0 sounds at moment 0.
    BeatClock clock;
    clock.setTimeline(song->timeline);
    clock.runFrom(0, 0, song->length, percent / 100.0);
    const std::int64_t latency = std::int64_t{latencyMs} * 1'000'000;
    for (const std::int64_t nanos : moments) {
        // A clock with a song always stamps a line.
        m_out << tapStamp(clock, nanos, grid, latency).value_or(std::string()) << '\n';
    }
    return flushOut() ? kExitOk : kExitFailure;
}

int VelkanTool::runShift(const ToolArgs &args)
{
    if (args.operands.size() != 2)
        return usageError(ToolCommand::Shift,
                          args.operands.size() < 2 ? "STEPS and IN needed" : "too many operands");
    const std::optional<int> steps = parseWholeInt(args.operands[0]);
    if (!steps || !isTimingOffsetStep(*steps))
        return usageError(ToolCommand::Shift, "STEPS must be one of " + stepsList() + ", not '" +
                                                  args.operands[0] + "'");

    // The song first: a song that cannot be read must not cost the script.
    // One without a header or tick division has no bars: 192 steps, as
    // without a song.
    std::optional<SongTimeline> timeline;
    if (args.song) {
        MidiReadResult song = readMidiFile(*args.song);
        if (!song.ok())
            return failure(midiReadMessage(song.status), *args.song);
        timeline = std::move(song.timeline);
    }

    // Read as the editor reads it, less the header: shift touches @WAIT lines
    // only, so a script that starts with a lyric line stays as the player knew it.
    std::string bytes;
    if (!readInput(args.operands[1], bytes))
        return kExitFailure;
    std::vector<ScriptLine> lines = splitScriptText(bytes).toVector();

    const BarMath bars(timeline ? &*timeline : nullptr);
    const TimingOffsetResult result = applyTimingOffset(lines, *steps, bars);
    if (!writeScript(args.output, lines))
        return kExitFailure;
    m_err << "ずらした @WAIT 行: " << result.shifted
          << "、曲の先頭に止めた行: " << result.heldAtStart << '\n';
    return kExitOk;
}

int VelkanTool::runTrace(const ToolArgs &args)
{
    if (args.operands.size() != 1)
        return usageError(ToolCommand::Trace,
                          args.operands.empty() ? "SCRIPT.wrd missing" : "too many operands");
    std::optional<LoadedSong> song;
    if (args.song) {
        song = loadSong(*args.song);
        if (!song)
            return kExitFailure;
    }
    std::string bytes;
    if (!readInput(args.operands[0], bytes))
        return kExitFailure;
    const ScriptLines lines = splitScriptText(bytes);
    const SongTimeline *timeline = song ? song->timeline.get() : nullptr;
    std::string image;
    if (args.song && m_fs.readText(*args.song, image) != FileSystem::ReadStatus::Ok)
        return failure(messages::kCannotOpenInput, *args.song);
    const std::int64_t end = playerSongEndTick(image);
    const std::vector<TimeSignatureEvent> signatures = playerTimeSignatures(image);
    const PlayerReading reading = readAsPlayer(lines, timeline, end, song ? &signatures : nullptr);
    for (const PlayerEvent &e : reading.events) {
        m_out << e.tick << ' ' << playerEventWord(e.kind);
        if (!e.bytes.empty() || e.kind == PlayerEventKind::Text)
            m_out << ' ' << e.bytes;
        for (const int n : e.numbers)
            m_out << ' ' << n;
        m_out << '\n';
    }
    if (reading.hangsAtLine)
        m_out << "hang " << *reading.hangsAtLine + 1 << '\n';
    if (reading.overflowsAtLine)
        m_out << "overflow " << *reading.overflowsAtLine + 1 << '\n';
    return flushOut() ? kExitOk : kExitFailure;
}

int VelkanTool::runCheck(const ToolArgs &args)
{
    if (args.operands.size() != 1)
        return usageError(ToolCommand::Check,
                          args.operands.empty() ? "SCRIPT.wrd missing" : "too many operands");
    // A file that cannot be read is 2 here: 1 means findings.
    std::optional<LoadedSong> song;
    std::string image;
    if (args.song) {
        song = loadSong(*args.song);
        if (!song)
            return kExitUsage;
        if (m_fs.readText(*args.song, image) != FileSystem::ReadStatus::Ok) {
            failure(messages::kCannotOpenInput, *args.song);
            return kExitUsage;
        }
    }
    std::string bytes;
    if (!readInput(args.operands[0], bytes))
        return kExitUsage;
    const ScriptLines lines = splitScriptText(bytes);
    const std::vector<TimeSignatureEvent> signatures = playerTimeSignatures(image);
    const std::vector<Finding> findings =
        checkScript(lines, song ? song->timeline.get() : nullptr, playerSongEndTick(image),
                    song ? &signatures : nullptr);
    for (const Finding &f : findings)
        m_out << f.line + 1 << ':' << f.code << ": " << f.message << '\n';
    if (!flushOut())
        return kExitUsage;
    return findings.empty() ? kExitOk : kExitFailure;
}

int VelkanTool::usageError(ToolCommand command, std::string_view problem)
{
    m_err << kToolName << ": " << problem << '\n' << toolUsage(command) << '\n';
    if (command == ToolCommand::None)
        m_err << "Try 'velkan-tool --help'.\n";
    else
        m_err << "Try 'velkan-tool " << toolCommandWord(command) << " --help'.\n";
    m_err.flush();
    return kExitUsage;
}

int VelkanTool::failure(std::string_view message, std::string_view file)
{
    m_err << kToolName << ": " << message << ": " << file << '\n';
    m_err.flush();
    return kExitFailure;
}

std::string VelkanTool::inputPath(const std::string &name)
{
    return name == kStandardStream ? std::string(kStandardInputPath) : name;
}

bool VelkanTool::readInput(const std::string &name, std::string &bytes)
{
    if (m_fs.readText(inputPath(name), bytes) != FileSystem::ReadStatus::Ok) {
        failure(messages::kCannotOpenInput, name);
        return false;
    }
    return true;
}

bool VelkanTool::writeScript(const std::optional<std::string> &output, const ScriptLines &lines)
{
    if (!output || *output == kStandardStream) {
        m_out << joinScriptLines(lines);
        return flushOut();
    }
    const SaveResult saved = saveScript(*output, lines, m_fs);
    if (saved.status != SaveStatus::Ok) {
        const std::string reason = saveFailureReason(saved);
        failure(messageFor(saved), reason.empty() ? *output : *output + ": " + reason);
        return false;
    }
    return true;
}

bool VelkanTool::flushOut()
{
    m_out.flush();
    if (m_out)
        return true;
    m_err << kToolName << ": " << kCannotWriteStdout << '\n';
    m_err.flush();
    return false;
}

} // namespace velkan
