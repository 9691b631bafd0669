#pragma once

class QAction;

namespace velkan {

class VelkanView;

// Makes command 32809 "MIDIの歌詞から作成" for the file menu: asks for a
// karaoke MIDI file and, once a changed script may go, puts a script of the
// song's own lyrics in the list as one step, unsaved. The song itself is not
// loaded: MIDI読込 does that. A song without lyrics changes nothing.
QAction *installKaraokeLyricsCommand(VelkanView &view);

} // namespace velkan
