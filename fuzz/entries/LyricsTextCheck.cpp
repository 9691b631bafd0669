#include "FuzzEntries.h"

#include "script/FileSystem.h"
#include "script/LyricsFile.h"
#include "script/ScriptFile.h"
#include "script/ShiftJisTable.h"
#include "script/TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace velkan::fuzz {

namespace {

constexpr const char *kLyricsPath = "/in/lyrics.txt";

// The one file the lyrics load reads, in memory.
class OneFileSystem final : public FileSystem {
public:
    explicit OneFileSystem(std::string_view bytes) : m_bytes(bytes) {}
    ReadStatus readAll(const std::string &path, ByteBlock &out) const override
    {
        if (path != kLyricsPath)
            return ReadStatus::CannotOpen;
        out = ByteBlock(m_bytes);
        return ReadStatus::Ok;
    }

private:
    std::string_view m_bytes;
};

// The code page read straight from the table, both ways, without the encoder.
// Characters below 0x80 are left out: a file's ASCII keeps its bytes.
struct CodePage {
    std::unordered_map<char32_t, std::uint16_t> codeOf;
    std::unordered_map<std::uint16_t, char32_t> characterOf; // the first character with the code
    std::unordered_set<std::uint16_t> shared;                // codes of more than one character
};

const CodePage &codePage()
{
    static const CodePage page = [] {
        CodePage p;
        for (const ShiftJisTableEntry &entry : shiftJisTable()) {
            if (entry.character < 0x80)
                continue;
            p.codeOf.emplace(entry.character, entry.code);
            if (!p.characterOf.emplace(entry.code, entry.character).second)
                p.shared.insert(entry.code);
        }
        return p;
    }();
    return page;
}

// Shift-JIS bytes back to characters through the table; nothing when some
// byte or pair of bytes is no code of it.
std::optional<std::u32string> decodeThroughTable(std::string_view bytes)
{
    const CodePage &page = codePage();
    std::u32string text;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            text.push_back(b);
            ++i;
            continue;
        }
        auto it = page.characterOf.find(b);
        if (it != page.characterOf.end()) {
            text.push_back(it->second);
            ++i;
            continue;
        }
        if (i + 1 == bytes.size())
            return std::nullopt;
        const auto code =
            static_cast<std::uint16_t>(b << 8 | static_cast<unsigned char>(bytes[i + 1]));
        it = page.characterOf.find(code);
        if (it == page.characterOf.end())
            return std::nullopt;
        text.push_back(it->second);
        i += 2;
    }
    return text;
}

// The bytes of c in UTF-8, counted.
std::size_t utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// One UTF-8 sequence read loosely by its lead byte, then held to the rules:
// no surrogate, nothing past U+10FFFF, and as short as the character allows.
// 0 when the bytes at i are no such sequence.
std::size_t readUtf8(std::string_view bytes, std::size_t i, char32_t &c)
{
    const auto b0 = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    if (b0 < 0x80)
        length = 1;
    else if (b0 >= 0xC0 && b0 < 0xE0)
        length = 2;
    else if (b0 >= 0xE0 && b0 < 0xF0)
        length = 3;
    else if (b0 >= 0xF0 && b0 < 0xF8)
        length = 4;
    else
        return 0;
    if (bytes.size() - i < length)
        return 0;
    c = length == 1 ? b0 : b0 & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(bytes[i + k]);
        if (b < 0x80 || b > 0xBF)
            return 0;
        c = c << 6 | (b & 0x3F);
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF || utf8Length(c) != length)
        return 0;
    return length;
}

bool isStrictUtf8(std::string_view bytes, bool &beyondAscii)
{
    beyondAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        char32_t c = 0;
        const std::size_t length = readUtf8(bytes, i, c);
        if (length == 0)
            return false;
        beyondAscii = beyondAscii || c >= 0x80;
        i += length;
    }
    return true;
}

// What a conversion should give, worked out character by character.
struct Expected {
    std::string bytes;
    std::u32string characters; // those converted
    std::optional<ConversionProblem> problem;
};

Expected convertPlainly(std::string_view bytes, TextEncoding from)
{
    Expected out;
    std::size_t line = 1;
    std::size_t i = 0;
    const auto stop = [&](ConversionProblem::Kind kind, char32_t c) {
        out.problem = ConversionProblem{kind, line, c};
    };
    if (from == TextEncoding::Utf8Bom)
        i = 3;
    else if (from == TextEncoding::Utf16Le || from == TextEncoding::Utf16Be)
        i = 2;
    const auto unitAt = [&](std::size_t at) {
        const auto a = static_cast<unsigned char>(bytes[at]);
        const auto b = static_cast<unsigned char>(bytes[at + 1]);
        return from == TextEncoding::Utf16Le ? char32_t(b) << 8 | a : char32_t(a) << 8 | b;
    };
    while (i < bytes.size()) {
        char32_t c = 0;
        if (from == TextEncoding::Utf8 || from == TextEncoding::Utf8Bom) {
            const std::size_t length = readUtf8(bytes, i, c);
            if (length == 0) {
                stop(ConversionProblem::Kind::Malformed, 0);
                break;
            }
            i += length;
        } else {
            if (bytes.size() - i < 2) {
                stop(ConversionProblem::Kind::Malformed, 0);
                break;
            }
            c = unitAt(i);
            i += 2;
            if (c >= 0xD800 && c <= 0xDFFF) {
                if (c >= 0xDC00 || bytes.size() - i < 2 || unitAt(i) < 0xDC00 ||
                    unitAt(i) > 0xDFFF) {
                    stop(ConversionProblem::Kind::Malformed, 0);
                    break;
                }
                c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(i) - 0xDC00);
                i += 2;
            }
        }
        if (c == 0x1A)
            break;
        if (c < 0x80) {
            out.bytes.push_back(static_cast<char>(c));
        } else {
            const auto it = codePage().codeOf.find(c);
            if (it == codePage().codeOf.end()) {
                stop(ConversionProblem::Kind::NoShiftJisCode, c);
                break;
            }
            if (it->second > 0xFF)
                out.bytes.push_back(static_cast<char>(it->second >> 8));
            out.bytes.push_back(static_cast<char>(it->second & 0xFF));
        }
        out.characters.push_back(c);
        if (c == '\n')
            ++line;
    }
    return out;
}

bool sameProblem(const std::optional<ConversionProblem> &a,
                 const std::optional<ConversionProblem> &b)
{
    if (!a || !b)
        return !a && !b;
    return a->kind == b->kind && a->line == b->line && a->character == b->character;
}

// One Unicode conversion of `bytes` (byte-order mark included) held to what
// convertToShiftJis promises.
std::string checkConversion(std::string_view bytes, TextEncoding from)
{
    const ShiftJisConversion converted = convertToShiftJis(bytes, from);
    const std::string_view out = converted.bytes;
    if (out.size() > bytes.size())
        return "a conversion came out longer than its text";
    if (out.find('\x1A') != std::string_view::npos)
        return "a converted text holds a Ctrl-Z";
    const std::optional<std::u32string> back = decodeThroughTable(out);
    if (!back)
        return "a converted text is not Shift-JIS";

    if (converted.problem) {
        const ConversionProblem &problem = *converted.problem;
        const auto feeds = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
        if (problem.line != feeds + 1)
            return "a problem names another line than the one the conversion stopped on";
        if (problem.line >
            static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1)
            return "a problem names a line past the text's last";
        if (problem.kind == ConversionProblem::Kind::Malformed && problem.character != 0)
            return "a malformed sequence names a character";
        if (problem.kind == ConversionProblem::Kind::NoShiftJisCode &&
            (problem.character < 0x80 || codePage().codeOf.contains(problem.character)))
            return "a problem names a character that has a code";
        const std::string message = conversionProblemMessage(problem, from);
        bool beyondAscii = false;
        if (!isStrictUtf8(message, beyondAscii) ||
            !message.starts_with(std::to_string(problem.line) + " 行目"))
            return "a problem's message is not UTF-8 naming its line";
    }

    const Expected expected = convertPlainly(bytes, from);
    if (!sameProblem(converted.problem, expected.problem))
        return "a conversion stopped elsewhere than its text says";
    if (out != expected.bytes)
        return "a conversion gave other bytes than its characters' codes";
    // Shift-JIS and back gives the text, but for the few characters that
    // share their code with a look-alike.
    if (back->size() != expected.characters.size())
        return "Unicode -> Shift-JIS -> Unicode changed the number of characters";
    for (std::size_t k = 0; k < back->size(); ++k) {
        const char32_t was = expected.characters[k];
        if ((*back)[k] != was &&
            (was < 0x80 || !codePage().shared.contains(codePage().codeOf.at(was))))
            return "Unicode -> Shift-JIS -> Unicode changed a character";
    }
    return {};
}

// The detection's rules, read from the bytes by other means.
TextEncoding expectedEncoding(std::string_view bytes)
{
    const auto starts = [&](std::initializer_list<unsigned char> mark) {
        if (bytes.size() < mark.size())
            return false;
        return std::equal(mark.begin(), mark.end(), bytes.begin(), [](unsigned char m, char b) {
            return m == static_cast<unsigned char>(b);
        });
    };
    if (starts({0xEF, 0xBB, 0xBF}))
        return TextEncoding::Utf8Bom;
    if (starts({0xFF, 0xFE}))
        return TextEncoding::Utf16Le;
    if (starts({0xFE, 0xFF}))
        return TextEncoding::Utf16Be;
    bool beyondAscii = false;
    const std::string_view read = bytes.substr(0, bytes.find('\x1A'));
    return isStrictUtf8(read, beyondAscii) && beyondAscii ? TextEncoding::Utf8
                                                          : TextEncoding::ShiftJis;
}

// Lines as the load gives them: no line feed or Ctrl-Z inside, and, when
// converted, only Shift-JIS codes.
std::string checkLines(const ScriptLines &lines, bool converted)
{
    for (const std::string_view line : lines) {
        if (line.find('\n') != std::string_view::npos ||
            line.find('\x1A') != std::string_view::npos)
            return "a loaded line holds a line feed or a Ctrl-Z";
        if (converted && !decodeThroughTable(line))
            return "a converted line is not Shift-JIS";
    }
    return {};
}

} // namespace

std::string checkLyricsText(std::string_view bytes)
{
    const TextEncoding encoding = detectTextEncoding(bytes);
    if (encoding != expectedEncoding(bytes))
        return "the detected encoding breaks the byte-order mark or UTF-8 rule";

    // Shift-JIS passes through as it is, Ctrl-Z and all.
    const ShiftJisConversion same = convertToShiftJis(bytes, TextEncoding::ShiftJis);
    if (same.problem || same.bytes != bytes)
        return "Shift-JIS bytes did not pass through unchanged";

    // The bytes read as each Unicode encoding, a byte-order mark put before
    // them where the encoding has one.
    if (encoding != TextEncoding::ShiftJis) {
        if (std::string broken = checkConversion(bytes, encoding); !broken.empty())
            return broken;
        if (encoding == TextEncoding::Utf8 &&
            convertToShiftJis(bytes, encoding).problem.value_or(ConversionProblem{}).kind ==
                ConversionProblem::Kind::Malformed)
            return "text detected as UTF-8 is malformed UTF-8";
    }
    const std::string asString(bytes);
    const std::pair<const char *, TextEncoding> reads[] = {
        {"", TextEncoding::Utf8},
        {"\xEF\xBB\xBF", TextEncoding::Utf8Bom},
        {"\xFF\xFE", TextEncoding::Utf16Le},
        {"\xFE\xFF", TextEncoding::Utf16Be},
    };
    for (const auto &[mark, from] : reads) {
        if (std::string broken = checkConversion(mark + asString, from); !broken.empty())
            return broken;
    }

    // The load: a Shift-JIS file as a script's load reads it, any other
    // converted whole or not at all.
    const OneFileSystem fs(bytes);
    const LyricsLoadResult loaded = loadLyricsFile(kLyricsPath, fs);
    if (loaded.status != LoadResult::Status::Ok)
        return "an in-memory lyrics load failed";
    if (loaded.encoding != encoding)
        return "the load read the file in another encoding than detected";
    if (encoding == TextEncoding::ShiftJis) {
        if (loaded.problem)
            return "a Shift-JIS file reported a conversion problem";
        const LoadResult script = loadScriptFile(kLyricsPath, fs);
        if (script.status != LoadResult::Status::Ok || loaded.lines != script.lines)
            return "a Shift-JIS lyrics file loaded otherwise than as a script";
        return checkLines(loaded.lines, false);
    }
    const ShiftJisConversion converted = convertToShiftJis(bytes, encoding);
    if (!sameProblem(loaded.problem, converted.problem))
        return "the load reported another problem than the conversion";
    if (loaded.problem) {
        if (!loaded.lines.empty())
            return "a file with a conversion problem loaded lines";
        return {};
    }
    ScriptLines expected = splitScriptText(converted.bytes);
    addDefaultHeaderIfNeeded(expected);
    if (loaded.lines != expected)
        return "a converted file did not load as its converted text";
    return checkLines(loaded.lines, true);
}

} // namespace velkan::fuzz
