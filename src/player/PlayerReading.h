#pragma once

#include "midi/SongTimeline.h"
#include "script/ScriptLines.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// What a WRD player shows, one kind per thing its trace prints.
enum class PlayerEventKind : std::uint8_t {
    Text,     // lyric bytes (a line, or one unit of a line shown by characters)
    LineFeed, // the new line after a lyric without ";"
    Startup,  // version
    Color,    // n
    Locate,   // column, row
    Pal,      // palette number, then 16 colours
    Tcls,     // x1, y1, x2, y2, colour, character
    Fade,     // from, to, speed
    FadeStep, // step (of 12)
    Gcls,
    Gon,
    Ton,
    Gmode,
    Gscreen, // active, shown
    Gline,   // x1, y1, x2, y2, colour, mode, fill
    Gcircle, // x, y, r, colour, mode, fill
    Gmove,   // nine numbers
    Ginit,
    Mag,    // bytes: the file; numbers: x, y, scale, palette
    PalChg, // bytes
    PalRev, // n
    Path,   // bytes
    Pload,  // bytes
    Rem,    // bytes
    Remark, // bytes
    Scroll, // seven numbers
    Esc,    // bytes
    Exec,   // bytes
    Stop,   // the song stops here
    // The extended set, written with '^' (numbers as given).
    FontM,
    FontP,
    FontR,
    Gsc,
    Line,
    ExtPal, // ^PAL
    RegSave,
    ExtScroll, // ^SCROLL
    TextDot,
    Tmode,
    Tscrl,
    Vcopy,
    Vsget,
    Vsres,
    Xcopy,
};

// The word the trace prints for a kind ("text", "locate", ...).
std::string_view playerEventWord(PlayerEventKind kind);

struct PlayerEvent {
    std::int64_t tick = 0; // the song tick at which the player shows it
    PlayerEventKind kind = PlayerEventKind::Text;
    std::vector<int> numbers;
    std::string bytes;    // the raw bytes of text, a remark or a file name
    std::size_t line = 0; // the script line it came from, from 0
    friend bool operator==(const PlayerEvent &, const PlayerEvent &) = default;
};

struct PlayerReading {
    // In the order the player shows them; ticks never go down.
    std::vector<PlayerEvent> events;
    // The line whose @WAIT names a bar before the first: the player stops
    // there for good while loading. The events are those read before it.
    std::optional<std::size_t> hangsAtLine;
    // The line that moves time past the player's 31-bit tick count; the
    // events are those read before it.
    std::optional<std::size_t> overflowsAtLine;

    // What the reading noticed on the way, for the script check; each list
    // by line, a line once per thing it did.
    struct WaitPoint {
        std::size_t line = 0;
        std::int64_t tick = 0; // where the @WAIT left time
    };
    std::vector<WaitPoint> waits;
    // Lines with an event shown later than the line's time, because an
    // earlier event was shown later still.
    std::vector<std::size_t> lateLines;
    // Command lines that moved time on by a line step for want of a ";".
    std::vector<std::size_t> steppedLines;
    // @WAIT lines whose step reached their bar's length.
    std::vector<std::size_t> stepPastBarLines;
};

// Where @END() waits for in a song (a MIDI file image, an RMID unwrapped):
// the tick of its last event, End of Track and text events (meta types 1 to
// 15) not counted. 0 without a readable header.
std::int64_t playerSongEndTick(std::string_view smfImage);

// The time signatures of a MIDI file image as the player lists them: those
// of every track (the first only in format 2), by tick.
std::vector<TimeSignatureEvent> playerTimeSignatures(std::string_view smfImage);

// How the player reads a script beside a song, at its default settings.
// Each line is taken as followed by CR LF, as a saved script holds it.
// Without a song, bars are 4/4 at 480 ticks a quarter. `songEndTick` is
// where @END() waits for (the first bar line at or after it).
//
// The player keeps each time signature at its own tick and takes it up
// when its count of bars passes that tick. With `signatures` (as
// playerTimeSignatures gives them) that is followed exactly; without, the
// song's bar lines stand in for them, which is the same going forward but
// not when a @WAIT goes back across a signature that stands inside a bar.
PlayerReading readAsPlayer(const std::vector<std::string_view> &lines, const SongTimeline *song,
                           std::int64_t songEndTick = 0,
                           const std::vector<TimeSignatureEvent> *signatures = nullptr);
PlayerReading readAsPlayer(const ScriptLines &lines, const SongTimeline *song,
                           std::int64_t songEndTick = 0,
                           const std::vector<TimeSignatureEvent> *signatures = nullptr);

} // namespace velkan
