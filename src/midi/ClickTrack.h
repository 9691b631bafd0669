#pragma once

#include <string>

namespace velkan {

// A metronome as a Standard MIDI File image: `beats` quarter-note clicks at
// `bpm` in 4/4 on the percussion channel, a higher click on each bar line,
// for measuring taps when no song is loaded. Division 480.
std::string clickTrackSmf(int beats, int bpm);

} // namespace velkan
