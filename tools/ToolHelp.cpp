#include "ToolHelp.h"

namespace velkan {

std::optional<ToolCommand> toolCommandNamed(std::string_view word)
{
    for (ToolCommand c :
         {ToolCommand::New, ToolCommand::Lyrics, ToolCommand::Tempo, ToolCommand::Locate,
          ToolCommand::Clock, ToolCommand::Shift, ToolCommand::Trace, ToolCommand::Check})
        if (!word.empty() && word == toolCommandWord(c))
            return c;
    return std::nullopt;
}

std::string_view toolCommandWord(ToolCommand command)
{
    switch (command) {
    case ToolCommand::New:
        return "new";
    case ToolCommand::Lyrics:
        return "lyrics";
    case ToolCommand::Tempo:
        return "tempo";
    case ToolCommand::Locate:
        return "locate";
    case ToolCommand::Clock:
        return "clock";
    case ToolCommand::Shift:
        return "shift";
    case ToolCommand::Trace:
        return "trace";
    case ToolCommand::Check:
        return "check";
    case ToolCommand::None:
        break;
    }
    return {};
}

std::string_view toolUsage(ToolCommand command)
{
    switch (command) {
    case ToolCommand::None:
        return "usage: velkan-tool COMMAND [ARGS...]   (new, lyrics, tempo, locate, clock, shift, "
               "trace, check)";
    case ToolCommand::New:
        return "usage: velkan-tool new LYRICS [-o OUT]";
    case ToolCommand::Lyrics:
        return "usage: velkan-tool lyrics SONG.mid [-o OUT]";
    case ToolCommand::Tempo:
        return "usage: velkan-tool tempo SONG.mid";
    case ToolCommand::Locate:
        return "usage: velkan-tool locate SONG.mid QUARTER";
    case ToolCommand::Clock:
        return "usage: velkan-tool clock SONG.mid [--speed PERCENT] [--grid 4|8|16|step] "
               "[--latency MS] MS [MS...]";
    case ToolCommand::Shift:
        return "usage: velkan-tool shift STEPS IN [-o OUT] [--song SONG.mid]";
    case ToolCommand::Trace:
        return "usage: velkan-tool trace SCRIPT.wrd [--song SONG.mid]";
    case ToolCommand::Check:
        return "usage: velkan-tool check SCRIPT.wrd [--song SONG.mid]";
    }
    return {};
}

std::string_view toolHelp(ToolCommand command)
{
    switch (command) {
    case ToolCommand::None:
        return R"(usage: velkan-tool COMMAND [ARGS...]

Runs Velkan's own core on files, without a window: the same lyrics load,
WRD save, MIDI reader, bar count, beat clock and timing offset as the editor.

Commands:
  new LYRICS [-o OUT]          lyrics text to WRD script (header, @END(), CR LF)
  lyrics SONG.mid [-o OUT]     a karaoke song's own lyrics to a timed WRD script
  tempo SONG.mid               the song's tempo and meter lines, length, bar count
  locate SONG.mid QUARTER      bar and beat of a quarter note of the song
  clock SONG.mid [--speed PERCENT] [--grid UNIT] [--latency MS] MS [MS...]
                               the line a Space press MS ms after the start stamps
  shift STEPS IN [-o OUT] [--song SONG.mid]
                               move every @WAIT line by STEPS (-48 -24 -12 12 24 48)
  trace SCRIPT.wrd [--song SONG.mid]
                               what a WRD player shows, and at which tick
  check SCRIPT.wrd [--song SONG.mid]
                               lines a WRD player reads otherwise than meant

Options:
  -h, --help                   this help; 'velkan-tool COMMAND --help' for one command
  --version                    the version

A file name '-' stands for standard input (LYRICS, IN, SCRIPT.wrd) or output (OUT).
OUT is replaced atomically, as the editor saves; lines are bytes, never re-encoded
(new alone converts UTF-8 and UTF-16 lyrics to Shift-JIS, as the editor loads them).
Exit status (check has its own, see 'velkan-tool check --help'):
0 done; 1 a file could not be read or written, or a song has
no usable MIDI header or, for lyrics, no lyrics (nothing was written, an
existing OUT is left whole);
2 a usage error.
)";
    case ToolCommand::New:
        return R"(usage: velkan-tool new LYRICS [-o OUT]

Loads LYRICS as the editor's 歌詞読込 does and writes it as WRD保存 does.
A line ends at CR LF or LF, a Ctrl-Z ends the text, and a text whose first
line does not begin with '@' (an empty one too) gets the four header lines
and a closing "@END();". Every line is written followed by CR LF.
LYRICS may be Shift-JIS, or UTF-8 or UTF-16 with a byte-order mark, or
UTF-8 without one: Unicode is converted to Shift-JIS first (standard error
says so), and a character with no Shift-JIS code fails, naming its line.

  -o, --output OUT   write OUT instead of standard output
)";
    case ToolCommand::Lyrics:
        return R"(usage: velkan-tool lyrics SONG.mid [-o OUT]

Makes a script of the song's own lyrics, as the editor's MIDIの歌詞から作成
does, and writes it as WRD保存 does. The words are the song's lyric events
(FF 05) of every track in tick order; a song without any has them in text
events (FF 01), as KAR files do, less those beginning with '@'. An event
beginning with '/', '\' or '<' starts a new line, and a CR or LF ends one;
the bytes are copied as they are. Each line comes after the
"@WAIT(bar,step);" of its first event's tick, counted through the song's
meter, between the four header lines and "@END();". A song without lyrics
writes nothing and exits with 1.

  -o, --output OUT   write OUT instead of standard output
)";
    case ToolCommand::Tempo:
        return R"(usage: velkan-tool tempo SONG.mid

Prints the lines the editor's MIDI読込 leaves in the script list, one per
tempo change ("dT:QUARTER Tempo:MS") and time-signature change
("dT:QUARTER Mean4:QUARTERS_PER_BAR") of the first track, in file order;
then "length N", the song length in sixteenth notes (0 when it cannot be
measured), and "/N", the bar that holds the song's end, as the editor's
position display shows it (bars counted from the time signatures of every
track).
)";
    case ToolCommand::Locate:
        return R"(usage: velkan-tool locate SONG.mid QUARTER

Prints "bar B beat T completed C" for quarter note QUARTER (0 is the song's
first): the bar and beat holding its start and the bars completed before it,
counted through the time signatures of every track as the editor's beat
clock counts them.
)";
    case ToolCommand::Clock:
        return R"(usage: velkan-tool clock SONG.mid [--speed PERCENT] [--grid 4|8|16|step] [--latency MS] MS [MS...]

For each MS, prints the timing line a Space press stamps MS milliseconds
after 開始(s) from the top of the song: "@WAIT(bar,step);" for the beat
sounding at that moment, step being (beat - 1) x 48 (or the start of the
unit --grid names). The moment is read
through every tempo and time-signature event of every track, as the
editor's beat clock reads it; past the song's end the clock stands at the
first bar line at or after the end. MS is a number of milliseconds from 0,
decimals allowed (1234.5).

  --speed PERCENT    the song played at PERCENT of its tempo (50 to 150 in
                     steps of 5; 100 when not given): MS is time on the
                     wall, so at 50 the same line comes at twice the MS
  --grid UNIT        stamp the start of the quarter (4, the default), eighth
                     (8) or sixteenth (16) note sounding, counted from the
                     bar line, or the step itself (step)
  --latency MS       the tap offset: presses come MS milliseconds after the
                     beat heard (-1000 to 1000, 0 when not given), so the
                     song is read MS earlier; a reading before the song's
                     start stamps "@WAIT(1,0);"
)";
    case ToolCommand::Shift:
        return R"(usage: velkan-tool shift STEPS IN [-o OUT] [--song SONG.mid]

Moves every line that begins with "@WAIT(" by STEPS, as the editor's
歌詞追い時間の調整 does. STEPS, in 1/48 of a quarter note, is one of
-48 -24 -12 12 24 48; a negative STEPS is a value, not an option.
Bars have 192 steps, or with --song as many as the song's meter gives them;
nothing moves before bar 1 (such a line becomes "@WAIT(1,0);"), and what
followed the @WAIT on its line stays. Every other line is written as it was
read (lines end in CR LF, a Ctrl-Z ends the text, as the editor loads and
saves), but shift adds no header: run 'new' first on a bare lyrics text.
Standard error tells how many lines were shifted and how many were held at
the song's start.

  -o, --output OUT   write OUT instead of standard output
  --song SONG.mid    measure bars by this song's meter
)";
    case ToolCommand::Trace:
        return R"(usage: velkan-tool trace SCRIPT.wrd [--song SONG.mid]

Reads SCRIPT.wrd as the WRD player TiMidity++ 2.14 reads it beside a song
and prints what it shows, one event a line, in the order it shows them:
  TICK text BYTES       lyric bytes as in the script (one character or
                        |unit| at a time after @WMODE(n,1)), no closing ";"
  TICK linefeed         the new line after a lyric without ";"
  TICK locate COL ROW   @LOCATE, with @LOCATE(row;col) swapped
  TICK color N          @COLOR
  TICK pal N C1..C16    @PAL, palette N (0 without #n) and its 16 colours
  TICK WORD NUMBERS     tcls, fade, fadestep, gcls, startup, ... likewise
  TICK rem BYTES        a remark (also remark, esc, exec, path, pload, palchg)
TICK is the song tick the player shows it at: bars and @WAIT steps (1/48
of a quarter note) counted through the song's meter, 480 ticks a quarter
and 4/4 bars without --song. A line is read as followed by CR LF; a
Ctrl-Z ends the text. When a @WAIT names a bar before the first, the
player never gets past it: the trace ends with "hang LINE" (from 1);
time past the player's 31-bit tick count ends it with "overflow LINE".

  --song SONG.mid    count bars and ticks by this song
)";
    case ToolCommand::Check:
        return R"(usage: velkan-tool check SCRIPT.wrd [--song SONG.mid]

Reads SCRIPT.wrd as trace does and prints each line a WRD player reads
otherwise than its writer most likely meant, as "LINE:CODE: message"
(LINE from 1, by line, then code; the message in Japanese):
  E01  a @WAIT before bar 1 (with @OFFSET): the player hangs while loading
  W02  shown later than written, as an earlier event was later
  W03  a @WAIT step at or past its bar's length: shown in a later bar
  W04  a command line without a closing ";": time moves on a line step
  W05  text after a command on a command line: not shown
  W06  a command name not written in full
  W07  a line over 254 bytes with its CR LF: the player splits it
  W08  text that runs past column 80
  W09  no @STARTUP on the first line
  W10  @PAL with a count of values the player ignores
  W11  a @WAIT past the song's end (with --song)
  W12  a command without parentheses: it takes the rest of the line
  W13  blanks, then "@": shown as text
Exit status: 0 no findings; 1 findings; 2 a usage error, or a file that
cannot be read.

  --song SONG.mid    count bars by this song, and check against its end
)";
    }
    return {};
}

} // namespace velkan
