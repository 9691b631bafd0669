#pragma once

#include "script/FileSystem.h"
#include "script/ScriptFile.h"
#include "script/ScriptLines.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// One change of the lines: from line `first` on, the lines `before` became
// the lines `after`.
struct RecoveryEdit {
    std::uint64_t first = 0;
    std::vector<std::string> before;
    std::vector<std::string> after;
    friend bool operator==(const RecoveryEdit &, const RecoveryEdit &) = default;
};

// One step of the undo history: its name (UTF-8) and its changes in order.
struct RecoveryStep {
    std::string name;
    std::vector<RecoveryEdit> edits;
    friend bool operator==(const RecoveryStep &, const RecoveryStep &) = default;
};

// Applies a step's changes to `lines` (forward) or takes them back; false,
// with `lines` in any state, when the lines are not those the changes expect.
bool applyStep(ScriptLines &lines, const RecoveryStep &step, bool forward);

// What a recovery file keeps of an editing session: enough to put the work
// back after the program or the machine stopped without saving.
struct RecoveryState {
    ScriptLines lines;
    std::string scriptPath;       // the file-system bytes of the script's name; may be empty
    std::string songPath;         // the same for the song; may be empty
    std::int64_t changedAtMs = 0; // the last change, in milliseconds since 1970 (UTC)
    std::int64_t processId = 0;   // the instance that wrote it
    // The undo history since the last copy of the whole script: its steps in
    // order, of which the first `stepsDone` are done (the lines above are the
    // result) and the rest can be redone.
    std::vector<RecoveryStep> steps;
    std::uint64_t stepsDone = 0;
};

// The lines before the history's first step: `lines` with the done steps
// taken back, last first. False when the history does not fit the lines.
bool linesBeforeHistory(const RecoveryState &state, ScriptLines &base);

// The file, byte for byte:
//   "VELKAN-RECOVERY\n", a 32-bit version, the body's 64-bit length,
//   the body, and the body's CRC-32.
// The body is a run of fields (a tag byte, a 64-bit length, the bytes). The
// lines field holds the count and each line as a 32-bit length and its bytes.
// The history field holds the done count, the step count and each step: its
// name (32-bit length, bytes), its edit count and each edit's first line and
// lines before and after (as the lines field).
// Numbers are little-endian. A reader takes the file whole or not at all.
std::string encodeRecovery(const RecoveryState &state);

enum class RecoveryReadStatus {
    Ok,
    NotRecovery, // not a recovery file at all
    NewerFormat, // written by a later version of the program
    Truncated,   // shorter than it says it is
    Damaged,     // the bytes do not add up
};

// Reads a recovery file's bytes; on anything but Ok, `out` is left as it was.
RecoveryReadStatus decodeRecovery(std::string_view bytes, RecoveryState &out);

// Why a recovery file was refused, in the program's language (UTF-8).
const char *messageFor(RecoveryReadStatus status);

// CRC-32 (the polynomial of zip and PNG).
std::uint32_t crc32(std::string_view bytes);

} // namespace velkan
