#include "script/TextEncoding.h"

#include "script/ShiftJisEncoder.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace velkan {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";
constexpr char32_t kLineFeed = 0x0A;
constexpr char32_t kCtrlZ = 0x1A;

std::uint8_t byteAt(std::string_view bytes, std::size_t i)
{
    return static_cast<std::uint8_t>(bytes[i]);
}

bool isContinuation(std::uint8_t b)
{
    return (b & 0xC0) == 0x80;
}

// The UTF-8 sequence at bytes[i]: its length, and the character in c; 0 when
// it is not a strictly valid sequence. The second byte's range rules out the
// overlong forms (E0 80-9F, F0 80-8F), the surrogates (ED A0-BF) and what
// lies past U+10FFFF (F4 90-BF).
std::size_t decodeUtf8(std::string_view bytes, std::size_t i, char32_t &c)
{
    const std::uint8_t b0 = byteAt(bytes, i);
    if (b0 < 0x80) {
        c = b0;
        return 1;
    }
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        c = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        c = b0 & 0x0F;
        low = b0 == 0xE0 ? 0xA0 : 0x80;
        high = b0 == 0xED ? 0x9F : 0xBF;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        c = b0 & 0x07;
        low = b0 == 0xF0 ? 0x90 : 0x80;
        high = b0 == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - i < length)
        return 0;
    const std::uint8_t b1 = byteAt(bytes, i + 1);
    if (b1 < low || b1 > high)
        return 0;
    c = c << 6 | (b1 & 0x3F);
    for (std::size_t k = 2; k < length; ++k) {
        const std::uint8_t b = byteAt(bytes, i + k);
        if (!isContinuation(b))
            return 0;
        c = c << 6 | (b & 0x3F);
    }
    return length;
}

// Whether text is strictly valid UTF-8 with at least one sequence beyond
// ASCII. Long runs of ASCII (every script's commands) go eight bytes at a time.
bool isUtf8BeyondAscii(std::string_view text)
{
    bool beyondAscii = false;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i >= 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if ((word & 0x8080808080808080ull) == 0) {
                i += 8;
                continue;
            }
        }
        char32_t c;
        const std::size_t length = decodeUtf8(text, i, c);
        if (length == 0)
            return false;
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii;
}

// Reads characters one at a time from the text after its byte-order mark.
class CharacterReader {
public:
    CharacterReader(std::string_view bytes, TextEncoding encoding)
        : m_bytes(bytes), m_encoding(encoding)
    {
        if (encoding == TextEncoding::Utf8Bom)
            m_at = kUtf8Bom.size();
        else if (encoding == TextEncoding::Utf16Le || encoding == TextEncoding::Utf16Be)
            m_at = kUtf16LeBom.size();
    }

    bool atEnd() const { return m_at >= m_bytes.size(); }

    // The next character; false on a malformed sequence.
    bool next(char32_t &c)
    {
        if (m_encoding == TextEncoding::Utf8 || m_encoding == TextEncoding::Utf8Bom) {
            const std::size_t length = decodeUtf8(m_bytes, m_at, c);
            m_at += length;
            return length != 0;
        }
        const std::optional<char16_t> unit = nextUnit();
        if (!unit)
            return false;
        if (*unit >= 0xDC00 && *unit <= 0xDFFF)
            return false; // a low surrogate with no high one before it
        if (*unit < 0xD800 || *unit > 0xDBFF) {
            c = *unit;
            return true;
        }
        const std::optional<char16_t> low = nextUnit();
        if (!low || *low < 0xDC00 || *low > 0xDFFF)
            return false;
        c = 0x10000 + ((char32_t{*unit} - 0xD800) << 10) + (*low - 0xDC00);
        return true;
    }

private:
    std::optional<char16_t> nextUnit()
    {
        if (m_bytes.size() - m_at < 2)
            return std::nullopt; // an odd byte at the end
        const auto first = byteAt(m_bytes, m_at), second = byteAt(m_bytes, m_at + 1);
        m_at += 2;
        return static_cast<char16_t>(m_encoding == TextEncoding::Utf16Le ? second << 8 | first
                                                                         : first << 8 | second);
    }

    std::string_view m_bytes;
    TextEncoding m_encoding;
    std::size_t m_at = 0;
};

void appendUtf8(char32_t c, std::string &out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

TextEncoding detectTextEncoding(std::string_view bytes)
{
    if (bytes.starts_with(kUtf8Bom))
        return TextEncoding::Utf8Bom;
    if (bytes.starts_with(kUtf16LeBom))
        return TextEncoding::Utf16Le;
    if (bytes.starts_with(kUtf16BeBom))
        return TextEncoding::Utf16Be;
    // Past a Ctrl-Z nothing is read, whatever it holds.
    const std::string_view text = bytes.substr(0, bytes.find('\x1A'));
    return isUtf8BeyondAscii(text) ? TextEncoding::Utf8 : TextEncoding::ShiftJis;
}

std::string_view encodingName(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::ShiftJis:
        return "Shift-JIS";
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Utf8Bom:
        return "UTF-8 (BOM 付き)";
    case TextEncoding::Utf16Le:
        return "UTF-16 LE";
    case TextEncoding::Utf16Be:
        return "UTF-16 BE";
    }
    return "";
}

ShiftJisConversion convertToShiftJis(std::string_view bytes, TextEncoding from)
{
    ShiftJisConversion result;
    if (from == TextEncoding::ShiftJis) {
        result.bytes.assign(bytes);
        return result;
    }
    // No character takes more bytes in Shift-JIS than in UTF-8 or UTF-16.
    result.bytes.reserve(bytes.size());
    CharacterReader reader(bytes, from);
    std::size_t line = 1;
    while (!reader.atEnd()) {
        char32_t c = 0;
        if (!reader.next(c)) {
            result.problem = ConversionProblem{ConversionProblem::Kind::Malformed, line, 0};
            return result;
        }
        if (c == kCtrlZ)
            break;
        if (c == kLineFeed)
            ++line;
        // ASCII is the same bytes in Shift-JIS; the table lays out three
        // control codes as ICU does for the line edit box, which a file's
        // own bytes must not go through.
        if (c < 0x80)
            result.bytes.push_back(static_cast<char>(c));
        else if (!appendShiftJis(c, result.bytes)) {
            result.problem = ConversionProblem{ConversionProblem::Kind::NoShiftJisCode, line, c};
            return result;
        }
    }
    return result;
}

std::string conversionProblemMessage(const ConversionProblem &problem, TextEncoding from)
{
    std::string message = std::to_string(problem.line) + " 行目";
    if (problem.kind == ConversionProblem::Kind::Malformed) {
        message += "に ";
        message += encodingName(from);
        message += " として読めないバイトがあるため、読み込めません";
        return message;
    }
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(problem.character));
    message += "の「";
    appendUtf8(problem.character, message);
    message += "」(";
    message += code;
    message += ") は Shift-JIS で表せない文字のため、読み込めません";
    return message;
}

} // namespace velkan
