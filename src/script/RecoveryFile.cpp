#include "script/RecoveryFile.h"

#include <array>
#include <cstring>
#include <optional>

namespace velkan {

namespace {

constexpr std::string_view kMagic = "VELKAN-RECOVERY\n";
constexpr std::uint32_t kVersion = 1;
// Magic, version, body length before the body; the CRC after it.
constexpr std::size_t kHeaderSize = 16 + 4 + 8;
constexpr std::size_t kTrailerSize = 4;

enum Tag : std::uint8_t {
    TagLines = 1,
    TagScriptPath = 2,
    TagSongPath = 3,
    TagChangedAt = 4,
    TagProcessId = 5,
    TagHistory = 6,
};

// Sizes in a history are checked against what is left before anything is
// set aside: each line takes at least its length, each edit its first line
// and two counts, each step its name's length and its edit count.
constexpr std::uint64_t kMinLine = 4;
constexpr std::uint64_t kMinEdit = 8 + 8 + 8;
constexpr std::uint64_t kMinStep = 4 + 8;

// Little-endian, in the width of the type.
template <class T> void putNumber(std::string &out, T v)
{
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

void putU32(std::string &out, std::uint32_t v)
{
    putNumber(out, v);
}

void putU64(std::string &out, std::uint64_t v)
{
    putNumber(out, v);
}

void putField(std::string &out, Tag tag, std::string_view bytes)
{
    out.push_back(static_cast<char>(tag));
    putU64(out, bytes.size());
    out.append(bytes);
}

template <class Lines> void putLines(std::string &out, const Lines &lines)
{
    putU64(out, lines.size());
    for (const std::string_view line : lines) {
        putU32(out, static_cast<std::uint32_t>(line.size()));
        out.append(line);
    }
}

std::string encodeHistory(const RecoveryState &state)
{
    std::string out;
    putU64(out, state.stepsDone);
    putU64(out, state.steps.size());
    for (const RecoveryStep &step : state.steps) {
        putU32(out, static_cast<std::uint32_t>(step.name.size()));
        out.append(step.name);
        putU64(out, step.edits.size());
        for (const RecoveryEdit &edit : step.edits) {
            putU64(out, edit.first);
            putLines(out, edit.before);
            putLines(out, edit.after);
        }
    }
    return out;
}

std::string u64Bytes(std::uint64_t v)
{
    std::string s;
    putU64(s, v);
    return s;
}

// Reads little-endian numbers off the front of a view; false when too short.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}

    bool u32(std::uint32_t &v) { return number(v); }
    bool u64(std::uint64_t &v) { return number(v); }
    bool u8(std::uint8_t &v)
    {
        if (m_bytes.empty())
            return false;
        v = static_cast<std::uint8_t>(m_bytes[0]);
        m_bytes.remove_prefix(1);
        return true;
    }
    bool take(std::uint64_t n, std::string_view &out)
    {
        if (n > m_bytes.size())
            return false;
        out = m_bytes.substr(0, static_cast<std::size_t>(n));
        m_bytes.remove_prefix(static_cast<std::size_t>(n));
        return true;
    }
    bool atEnd() const { return m_bytes.empty(); }
    std::size_t left() const { return m_bytes.size(); }

private:
    template <class T> bool number(T &v)
    {
        if (m_bytes.size() < sizeof(T))
            return false;
        v = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            v |= T(static_cast<unsigned char>(m_bytes[i])) << (8 * i);
        m_bytes.remove_prefix(sizeof(T));
        return true;
    }

    std::string_view m_bytes;
};

bool readLines(std::string_view field, ScriptLines &lines)
{
    Reader r(field);
    std::uint64_t count = 0;
    if (!r.u64(count))
        return false;
    // Every line takes at least its 4-byte length: a larger count cannot be
    // true, and is refused before anything is set aside for it.
    if (count > r.left() / 4)
        return false;
    ScriptLines read;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint32_t size = 0;
        std::string_view line;
        if (!r.u32(size) || !r.take(size, line))
            return false;
        read.push_back(line);
    }
    if (!r.atEnd())
        return false;
    lines = std::move(read);
    return true;
}

bool readLineList(Reader &r, std::vector<std::string> &lines)
{
    std::uint64_t count = 0;
    if (!r.u64(count) || count > r.left() / kMinLine)
        return false;
    lines.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t i = 0; i < count; ++i) {
        std::uint32_t size = 0;
        std::string_view line;
        if (!r.u32(size) || !r.take(size, line))
            return false;
        lines.emplace_back(line);
    }
    return true;
}

bool readHistory(std::string_view field, RecoveryState &state)
{
    Reader r(field);
    std::uint64_t done = 0, count = 0;
    if (!r.u64(done) || !r.u64(count) || count > r.left() / kMinStep || done > count)
        return false;
    std::vector<RecoveryStep> steps(static_cast<std::size_t>(count));
    for (RecoveryStep &step : steps) {
        std::uint32_t nameSize = 0;
        std::string_view name;
        std::uint64_t edits = 0;
        if (!r.u32(nameSize) || !r.take(nameSize, name) || !r.u64(edits) ||
            edits > r.left() / kMinEdit)
            return false;
        step.name.assign(name);
        step.edits.resize(static_cast<std::size_t>(edits));
        for (RecoveryEdit &edit : step.edits) {
            if (!r.u64(edit.first) || !readLineList(r, edit.before) || !readLineList(r, edit.after))
                return false;
        }
    }
    if (!r.atEnd())
        return false;
    state.steps = std::move(steps);
    state.stepsDone = done;
    return true;
}

bool readNumber(std::string_view field, std::int64_t &v)
{
    Reader r(field);
    std::uint64_t u = 0;
    if (!r.u64(u) || !r.atEnd())
        return false;
    v = static_cast<std::int64_t>(u);
    return true;
}

} // namespace

std::uint32_t crc32(std::string_view bytes)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (const char ch : bytes)
        c = table[(c ^ static_cast<unsigned char>(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string encodeRecovery(const RecoveryState &state)
{
    std::string lines;
    std::size_t size = 8;
    for (const std::string_view line : state.lines)
        size += 4 + line.size();
    lines.reserve(size);
    putU64(lines, state.lines.size());
    for (const std::string_view line : state.lines) {
        putU32(lines, static_cast<std::uint32_t>(line.size()));
        lines.append(line);
    }

    std::string body;
    body.reserve(lines.size() + state.scriptPath.size() + state.songPath.size() + 100);
    putField(body, TagChangedAt, u64Bytes(static_cast<std::uint64_t>(state.changedAtMs)));
    putField(body, TagProcessId, u64Bytes(static_cast<std::uint64_t>(state.processId)));
    putField(body, TagScriptPath, state.scriptPath);
    putField(body, TagSongPath, state.songPath);
    putField(body, TagLines, lines);
    putField(body, TagHistory, encodeHistory(state));

    std::string out;
    out.reserve(kHeaderSize + body.size() + kTrailerSize);
    out.append(kMagic);
    putU32(out, kVersion);
    putU64(out, body.size());
    out.append(body);
    putU32(out, crc32(body));
    return out;
}

RecoveryReadStatus decodeRecovery(std::string_view bytes, RecoveryState &out)
{
    if (bytes.size() < kMagic.size()) {
        // A file cut inside its magic is still ours when what is there matches.
        return kMagic.starts_with(bytes) && !bytes.empty() ? RecoveryReadStatus::Truncated
                                                           : RecoveryReadStatus::NotRecovery;
    }
    if (!bytes.starts_with(kMagic))
        return RecoveryReadStatus::NotRecovery;
    Reader r(bytes.substr(kMagic.size()));
    std::uint32_t version = 0;
    std::uint64_t bodySize = 0;
    if (!r.u32(version))
        return RecoveryReadStatus::Truncated;
    if (version > kVersion)
        return RecoveryReadStatus::NewerFormat;
    if (version == 0)
        return RecoveryReadStatus::Damaged;
    if (!r.u64(bodySize))
        return RecoveryReadStatus::Truncated;
    if (bodySize > r.left() || r.left() - bodySize < kTrailerSize)
        return RecoveryReadStatus::Truncated;
    if (r.left() - bodySize > kTrailerSize)
        return RecoveryReadStatus::Damaged;
    std::string_view body;
    std::uint32_t sum = 0;
    r.take(bodySize, body);
    r.u32(sum);
    if (crc32(body) != sum)
        return RecoveryReadStatus::Damaged;

    RecoveryState read;
    bool seen[7] = {};
    Reader fields(body);
    while (!fields.atEnd()) {
        std::uint8_t tag = 0;
        std::uint64_t size = 0;
        std::string_view field;
        if (!fields.u8(tag) || !fields.u64(size) || !fields.take(size, field))
            return RecoveryReadStatus::Damaged;
        if (tag < std::size(seen)) {
            if (seen[tag])
                return RecoveryReadStatus::Damaged;
            seen[tag] = true;
        }
        bool ok = true;
        switch (tag) {
        case TagLines:
            ok = readLines(field, read.lines);
            break;
        case TagScriptPath:
            read.scriptPath.assign(field);
            break;
        case TagSongPath:
            read.songPath.assign(field);
            break;
        case TagChangedAt:
            ok = readNumber(field, read.changedAtMs);
            break;
        case TagProcessId:
            ok = readNumber(field, read.processId);
            break;
        case TagHistory:
            ok = readHistory(field, read);
            break;
        default:
            // A field a later version added within this format: passed over.
            break;
        }
        if (!ok)
            return RecoveryReadStatus::Damaged;
    }
    // The lines are what the file is for; without them it is not whole.
    if (!seen[TagLines] || !seen[TagChangedAt])
        return RecoveryReadStatus::Damaged;
    out = std::move(read);
    return RecoveryReadStatus::Ok;
}

bool applyStep(ScriptLines &lines, const RecoveryStep &step, bool forward)
{
    auto apply = [&lines](const RecoveryEdit &edit, const std::vector<std::string> &from,
                          const std::vector<std::string> &to) {
        if (edit.first > lines.size() || from.size() > lines.size() - edit.first)
            return false;
        const auto first = static_cast<std::size_t>(edit.first);
        for (std::size_t i = 0; i < from.size(); ++i) {
            if (lines[first + i] != from[i])
                return false;
        }
        lines.erase(first, from.size());
        lines.insert(first, to);
        return true;
    };
    if (forward) {
        for (const RecoveryEdit &edit : step.edits) {
            if (!apply(edit, edit.before, edit.after))
                return false;
        }
        return true;
    }
    for (auto edit = step.edits.rbegin(); edit != step.edits.rend(); ++edit) {
        if (!apply(*edit, edit->after, edit->before))
            return false;
    }
    return true;
}

bool linesBeforeHistory(const RecoveryState &state, ScriptLines &base)
{
    if (state.stepsDone > state.steps.size())
        return false;
    ScriptLines lines = state.lines;
    for (auto i = static_cast<std::size_t>(state.stepsDone); i-- > 0;) {
        if (!applyStep(lines, state.steps[i], false))
            return false;
    }
    // The steps not done must fit too: they are offered for redo.
    ScriptLines ahead = state.lines;
    for (auto i = static_cast<std::size_t>(state.stepsDone); i < state.steps.size(); ++i) {
        if (!applyStep(ahead, state.steps[i], true))
            return false;
    }
    base = std::move(lines);
    return true;
}

const char *messageFor(RecoveryReadStatus status)
{
    switch (status) {
    case RecoveryReadStatus::Ok:
        return "";
    case RecoveryReadStatus::NotRecovery:
        return "復元用のファイルではありません。";
    case RecoveryReadStatus::NewerFormat:
        return "新しい版のVelkanで書かれた復元ファイルのため、読み込めません。";
    case RecoveryReadStatus::Truncated:
        return "復元ファイルが途中で切れているため、読み込めません。";
    case RecoveryReadStatus::Damaged:
        return "復元ファイルが壊れているため、読み込めません。";
    }
    return "";
}

} // namespace velkan
