#include "platform/ShiftJisCodec.h"

#include "script/ShiftJisEncoder.h"
#include "script/ShiftJisText.h"

#include <QHash>
#include <QStringDecoder>
#include <array>
#include <vector>

namespace velkan::ShiftJis {
namespace {

constexpr char16_t kRawByteBase = 0xF700;  // U+F700..U+F7FF: raw bytes
constexpr char16_t kSelectorBase = 0xFE00; // variation selectors 1..16

bool isTrailByte(unsigned char b)
{
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

struct Tables {
    // Single bytes that are characters of their own; 0 where the byte is not.
    std::array<char16_t, 256> single{};
    // Double-byte codes (lead - 0x80) * 256 + trail; 0 where invalid.
    std::vector<char16_t> dbcs = std::vector<char16_t>(128 * 256, 0);
    // Which duplicate a double-byte code is: 0 for the code the character
    // encodes to, k > 0 for the k-th other code of the same character.
    std::vector<unsigned char> variant = std::vector<unsigned char>(128 * 256, 0);
    // Character -> its codes: [0] canonical, [k] the k-th duplicate.
    QHash<char16_t, std::vector<std::uint16_t>> codes;
};

Tables buildTables()
{
    Tables t;
    auto decodeOne = [](const QByteArray &bytes) -> char16_t {
        QStringDecoder dec("windows-31j");
        const QString s = dec.decode(bytes);
        if (dec.hasError() || s.size() != 1)
            return 0;
        return s.at(0).unicode();
    };
    // Which of a character's codes is its own comes from the program's one
    // encoder, which the other direction uses too.
    auto encodeOne = [](char16_t c) -> std::uint16_t { return shiftJisCode(c).value_or(0xFFFF); };

    for (int b = 0; b < 256; ++b) {
        if (isShiftJisLeadByte(static_cast<unsigned char>(b)))
            continue;
        const char16_t c = decodeOne(QByteArray(1, static_cast<char>(b)));
        if (c && encodeOne(c) == b)
            t.single[static_cast<std::size_t>(b)] = c;
    }
    // Gather every double-byte code by character, canonical first.
    QHash<char16_t, std::vector<std::uint16_t>> others;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (!isShiftJisLeadByte(static_cast<unsigned char>(lead)))
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (!isTrailByte(static_cast<unsigned char>(trail)))
                continue;
            QByteArray bytes;
            bytes.append(static_cast<char>(lead));
            bytes.append(static_cast<char>(trail));
            const char16_t c = decodeOne(bytes);
            if (!c || (c >= kRawByteBase && c <= kRawByteBase + 0xFF) ||
                (c >= kSelectorBase && c <= kSelectorBase + 15))
                continue;
            const auto code = static_cast<std::uint16_t>(lead << 8 | trail);
            const std::uint16_t canonical = encodeOne(c);
            const std::size_t index = static_cast<std::size_t>((lead - 0x80) * 256 + trail);
            if (canonical == code) {
                t.dbcs[index] = c;
                auto &list = t.codes[c];
                list.insert(list.begin(), code);
            } else if (canonical != 0xFFFF) {
                others[c].push_back(code);
            }
        }
    }
    // A single-byte canonical (there is none in CP932, but be safe) still
    // anchors the list.
    for (auto it = others.begin(); it != others.end(); ++it) {
        auto &list = t.codes[it.key()];
        if (list.empty())
            list.push_back(encodeOne(it.key()));
        for (std::uint16_t code : it.value()) {
            if (list.size() > 16)
                break; // no character has that many codes; keep the selector in range
            const int lead = code >> 8, trail = code & 0xFF;
            const std::size_t index = static_cast<std::size_t>((lead - 0x80) * 256 + trail);
            t.dbcs[index] = it.key();
            t.variant[index] = static_cast<unsigned char>(list.size());
            list.push_back(code);
        }
    }
    return t;
}

const Tables &tables()
{
    static const Tables t = buildTables();
    return t;
}

QString decodeImpl(std::string_view bytes, std::size_t maxBytes)
{
    const Tables &t = tables();
    QString out;
    out.reserve(static_cast<qsizetype>(std::min(bytes.size(), maxBytes)));
    std::size_t i = 0;
    const std::size_t n = std::min(bytes.size(), maxBytes);
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (isShiftJisLeadByte(b) && i + 1 < bytes.size()) {
            const auto trail = static_cast<unsigned char>(bytes[i + 1]);
            const std::size_t index = static_cast<std::size_t>((b - 0x80) * 256 + trail);
            if (isTrailByte(trail) && t.dbcs[index]) {
                if (i + 2 > maxBytes)
                    break;
                out.append(QChar(t.dbcs[index]));
                if (t.variant[index])
                    out.append(QChar(static_cast<char16_t>(kSelectorBase + t.variant[index] - 1)));
                i += 2;
                continue;
            }
        }
        if (!isShiftJisLeadByte(b) && t.single[b])
            out.append(QChar(t.single[b]));
        else
            out.append(QChar(static_cast<char16_t>(kRawByteBase + b)));
        ++i;
    }
    return out;
}

bool encodeChar(const QString &text, qsizetype &i, std::string &out)
{
    const Tables &t = tables();
    const char16_t c = text.at(i).unicode();
    ++i;
    if (c >= kRawByteBase && c <= kRawByteBase + 0xFF) {
        out.push_back(static_cast<char>(c - kRawByteBase));
        return true;
    }
    if (c < 0x80 && t.single[c] == c) {
        out.push_back(static_cast<char>(c));
        return true;
    }
    const auto it = t.codes.constFind(c);
    if (it != t.codes.constEnd() && !it->empty()) {
        std::size_t k = 0;
        if (i < text.size()) {
            const char16_t next = text.at(i).unicode();
            if (next >= kSelectorBase && next < kSelectorBase + 16) {
                k = static_cast<std::size_t>(next - kSelectorBase) + 1;
                if (k >= it->size())
                    return false;
                ++i;
            }
        }
        const std::uint16_t code = (*it)[k];
        out.push_back(static_cast<char>(code >> 8));
        out.push_back(static_cast<char>(code & 0xFF));
        return true;
    }
    return appendShiftJis(c, out);
}

} // namespace

QString decode(std::string_view bytes)
{
    return decodeImpl(bytes, bytes.size());
}

QString decodePrefix(std::string_view bytes, std::size_t maxBytes)
{
    return decodeImpl(bytes, maxBytes);
}

std::optional<std::string> encode(const QString &text)
{
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()) * 2);
    qsizetype i = 0;
    while (i < text.size()) {
        if (!encodeChar(text, i, out))
            return std::nullopt;
    }
    return out;
}

QString firstUnencodable(const QString &text)
{
    std::string scratch;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype start = i;
        if (!encodeChar(text, i, scratch)) {
            if (text.at(start).isHighSurrogate() && start + 1 < text.size())
                return text.mid(start, 2);
            return text.mid(start, 1);
        }
    }
    return {};
}

} // namespace velkan::ShiftJis
