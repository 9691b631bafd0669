#pragma once

#include "midi/SongTimeline.h"
#include "script/ScriptLines.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// One lyric line of a karaoke song: its bytes as the song holds them and the
// tick of its first event that brings text.
struct KaraokeLine {
    std::int64_t tick = 0;
    std::string text;
    friend bool operator==(const KaraokeLine &, const KaraokeLine &) = default;
};

// The lyric lines of a MIDI file image (an RMID is unwrapped), read from the
// tracks its timeline is read from, each up to its End of Track.
//
// The lyric events (FF 05) are the song's words, in tick order and file order
// within a tick; a song without any has them in text events (FF 01), as KAR
// files do, less those beginning with "@" (their headers). An event beginning
// with "/", "\" or "<" starts a new line, the mark dropped; a CR or LF ends
// its line where it stands, dropped too. A line is its events' bytes joined,
// copied as they are but for Ctrl-Z (it would end the script's text); lines
// without bytes are left out, as are events past the player's last tick.
std::vector<KaraokeLine> karaokeLines(std::string_view image);

// "MIDIの歌詞から作成": a new script of the song's lyric lines, each after
// the "@WAIT(bar,step);" of its tick as the timeline places it, between the
// header a new script gets and "@END();". Nothing when the song has no lyrics.
std::optional<std::vector<ScriptLine>> scriptFromKaraoke(std::string_view image,
                                                         const SongTimeline &timeline);

} // namespace velkan
