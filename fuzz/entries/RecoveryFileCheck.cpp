#include "FuzzEntries.h"

#include "script/RecoveryFile.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velkan::fuzz {

namespace {

constexpr std::string_view kMagic = "VELKAN-RECOVERY\n";

// What the editor held before a recovery file was read: a refused file must
// leave every part of it as it was.
RecoveryState heldState()
{
    RecoveryState state;
    state.lines = ScriptLines{"@held", "", "\x82\xA0\r"};
    state.scriptPath = "/held/script.wrd";
    state.songPath = "/held/song.mid";
    state.changedAtMs = 1'765'000'000'000;
    state.processId = 4242;
    return state;
}

bool sameState(const RecoveryState &a, const RecoveryState &b)
{
    return a.lines == b.lines && a.scriptPath == b.scriptPath && a.songPath == b.songPath &&
           a.changedAtMs == b.changedAtMs && a.processId == b.processId && a.steps == b.steps &&
           a.stepsDone == b.stepsDone;
}

std::uint64_t numberAt(std::string_view bytes, std::size_t at, std::size_t width)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < width; ++i)
        v |= std::uint64_t(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    return v;
}

// The tags of a file's fields in file order, read by walking its layout; only
// for a file that was read whole.
std::optional<std::vector<std::uint8_t>> fieldTags(std::string_view bytes)
{
    constexpr std::size_t header = 16 + 4 + 8;
    if (bytes.size() < header + 4 || numberAt(bytes, 20, 8) != bytes.size() - header - 4)
        return std::nullopt;
    std::string_view body = bytes.substr(header, bytes.size() - header - 4);
    std::vector<std::uint8_t> tags;
    while (!body.empty()) {
        if (body.size() < 9)
            return std::nullopt;
        const std::uint64_t size = numberAt(body, 1, 8);
        if (size > body.size() - 9)
            return std::nullopt;
        tags.push_back(static_cast<std::uint8_t>(body[0]));
        body.remove_prefix(9 + static_cast<std::size_t>(size));
    }
    return tags;
}

// Reads bytes over the held state: anything but Ok must leave it as it was.
RecoveryReadStatus readOverHeld(std::string_view bytes, std::string &broken)
{
    RecoveryState state = heldState();
    const RecoveryReadStatus status = decodeRecovery(bytes, state);
    if (status != RecoveryReadStatus::Ok && !sameState(state, heldState()))
        broken = "a refused recovery file changed the state it was read over";
    return status;
}

// Which of n places to try: all of a small file, a sample of a large one
// (both ends and evenly between).
bool tryPlace(std::size_t at, std::size_t n)
{
    return n <= 256 || at < 40 || at + 40 >= n || at % (n / 64) == 0;
}

// The bytes with version 1, the length of what follows and the CRC-32 of
// it written in, so that changes the fuzzer makes inside the body reach the
// reading of its fields rather than stopping at the sum.
std::string madeWhole(std::string_view bytes)
{
    constexpr std::size_t header = 16 + 4 + 8;
    std::string whole(bytes);
    const std::uint64_t bodySize = whole.size() - header - 4;
    const std::uint32_t sum = crc32(std::string_view(whole).substr(header, bodySize));
    for (std::size_t i = 0; i < 4; ++i) {
        whole[16 + i] = static_cast<char>(i == 0 ? 1 : 0);
        whole[whole.size() - 4 + i] = static_cast<char>(sum >> (8 * i) & 0xFF);
    }
    for (std::size_t i = 0; i < 8; ++i)
        whole[20 + i] = static_cast<char>(bodySize >> (8 * i) & 0xFF);
    return whole;
}

std::string checkOne(std::string_view bytes)
{
    std::string broken;
    const RecoveryReadStatus status = readOverHeld(bytes, broken);
    if (!broken.empty())
        return broken;

    const bool oursSoFar =
        bytes.size() < kMagic.size() ? kMagic.starts_with(bytes) : bytes.starts_with(kMagic);
    if ((status == RecoveryReadStatus::NotRecovery) != (bytes.empty() || !oursSoFar))
        return "NotRecovery given to a file that begins as one, or not given to one that does not";
    if (status != RecoveryReadStatus::Ok)
        return {};

    RecoveryState state;
    if (decodeRecovery(bytes, state) != RecoveryReadStatus::Ok)
        return "the same bytes read twice gave another status";
    // Everything read comes out of the file: nothing is made up or set aside
    // beyond what the bytes hold.
    std::size_t held = state.scriptPath.size() + state.songPath.size();
    for (const std::string_view line : state.lines)
        held += line.size() + 4;
    for (const RecoveryStep &step : state.steps) {
        held += step.name.size() + 4;
        for (const RecoveryEdit &edit : step.edits) {
            for (const auto *lines : {&edit.before, &edit.after}) {
                for (const std::string &line : *lines)
                    held += line.size() + 4;
            }
        }
    }
    if (held > bytes.size())
        return "a recovery file read as more than its bytes";

    const std::optional<std::vector<std::uint8_t>> tags = fieldTags(bytes);
    if (!tags)
        return "a file read whole does not have the documented layout";

    // Written again, it reads as the same state, and writing that gives the
    // same bytes once more. A file the program wrote, its fields in the order
    // it writes them and nothing else, comes back byte for byte.
    const std::string written = encodeRecovery(state);
    RecoveryState again = heldState();
    if (decodeRecovery(written, again) != RecoveryReadStatus::Ok || !sameState(again, state))
        return "decode -> encode -> decode changed the state";
    if (encodeRecovery(again) != written)
        return "encoding a state read back gave other bytes";
    if (*tags == std::vector<std::uint8_t>{4, 5, 2, 3, 1, 6} && written != bytes)
        return "a file in the written form did not encode back byte for byte";

    // A history that fits the lines leads from the lines before it back to
    // them, its done steps made again in order.
    ScriptLines base;
    if (state.steps.size() * (state.lines.size() + 1) < 100'000 &&
        linesBeforeHistory(state, base)) {
        for (std::size_t i = 0; i < state.stepsDone; ++i) {
            if (!applyStep(base, state.steps[i], true))
                return "a history that fits its lines could not be made again";
        }
        if (!(base == state.lines))
            return "a history made again did not lead to the file's lines";
    }

    // The file whole or not at all: every shorter cut is Truncated (nothing
    // at all is no recovery file), one byte more is Damaged.
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        if (!tryPlace(cut, bytes.size()))
            continue;
        const RecoveryReadStatus cutStatus = readOverHeld(bytes.substr(0, cut), broken);
        if (!broken.empty())
            return broken;
        if (cutStatus !=
            (cut == 0 ? RecoveryReadStatus::NotRecovery : RecoveryReadStatus::Truncated))
            return "a recovery file cut short was not refused as cut short";
    }
    if (readOverHeld(std::string(bytes) + '\0', broken) != RecoveryReadStatus::Damaged ||
        !broken.empty())
        return "a recovery file with a byte added was not refused as damaged";

    // No change of a single byte goes unnoticed: the magic, the version and
    // the length are checked, and the CRC-32 sees any change inside the body
    // or of itself.
    std::string changed(bytes);
    for (std::size_t at = 0; at < changed.size(); ++at) {
        if (!tryPlace(at, changed.size()))
            continue;
        const auto flip =
            static_cast<char>(1 + (at * 37 + static_cast<unsigned char>(bytes[at])) % 255);
        changed[at] = static_cast<char>(changed[at] ^ flip);
        const RecoveryReadStatus changedStatus = readOverHeld(changed, broken);
        changed[at] = bytes[at];
        if (!broken.empty())
            return broken;
        if (changedStatus == RecoveryReadStatus::Ok)
            return "a recovery file with one byte changed was read as whole";
    }
    return {};
}

} // namespace

std::string checkRecoveryFile(std::string_view bytes)
{
    if (std::string broken = checkOne(bytes); !broken.empty())
        return broken;
    if (bytes.size() < 16 + 4 + 8 + 4 || !bytes.starts_with(kMagic))
        return {};
    const std::string whole = madeWhole(bytes);
    if (whole == bytes)
        return {};
    if (std::string broken = checkOne(whole); !broken.empty())
        return "(with its length and sum made right) " + broken;
    return {};
}

} // namespace velkan::fuzz
