#pragma once

#include "midi/SongTimeline.h"
#include "midi/TimingMaps.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

enum class MidiReadStatus {
    Ok,
    CannotOpen, // "入力ファイルが開けません"
    NoMemory,   // "メモリの確保に失敗"
};

// The message box text for a failed read, UTF-8; empty for Ok.
std::string_view midiReadMessage(MidiReadStatus status);

// What one read of a MIDI file found. On a failed read timing and lines are
// empty and the caller keeps the previous song's tables.
struct MidiReadResult {
    MidiReadStatus status = MidiReadStatus::Ok;
    SongTiming timing;
    // "dT:%d Tempo:%d" and "dT:%d Mean4:%d", one per recorded change, in the
    // order the events stand in the file.
    std::vector<std::string> lines;
    // The song's time, bars and beats from every track; nothing when the file
    // has no usable header or division.
    std::optional<SongTimeline> timeline;

    bool ok() const { return status == MidiReadStatus::Ok; }
};

// Reads the tempo and time-signature changes of the first track of a
// Standard MIDI File image (a RIFF RMID image is unwrapped first), and the
// song's timeline from all of them. Anything
// the file claims is checked against the image; a malformed file yields what
// could be read before the damage, never an error.
MidiReadResult readMidiImage(std::string_view image);

// Reads the file at path in one piece and reads its image as above.
// `imageOut`, when given, receives the file's bytes.
MidiReadResult readMidiFile(const std::filesystem::path &path, std::string *imageOut = nullptr);

// The bar length recorded for a time signature nn/2^dd: nn x 4 / 2^dd quarter
// notes where that is whole, else nn (a bar we cannot count in quarters).
std::int32_t quartersPerBarFor(std::uint8_t numerator, std::uint8_t denominatorExponent);

// Milliseconds for a tempo in microseconds, rounded halves up by the
// hundreds digit: 461538 -> 462, 500499 -> 500.
std::int32_t roundedMsPerQuarter(std::uint32_t usPerQuarter);

} // namespace velkan
