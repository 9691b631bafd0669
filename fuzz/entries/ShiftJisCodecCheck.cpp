#include "FuzzEntries.h"

#include "platform/ShiftJisCodec.h"

namespace velkan::fuzz {

std::string checkShiftJisCodec(std::string_view bytes)
{
    const QString text = ShiftJis::decode(bytes);
    const std::optional<std::string> back = ShiftJis::encode(text);
    if (!back)
        return "decoded text did not encode";
    if (*back != bytes)
        return "bytes -> text -> bytes changed the bytes";
    if (!ShiftJis::firstUnencodable(text).isEmpty())
        return "decoded text names an unencodable character";

    // A prefix for display never splits a character and never runs long.
    const std::size_t cut =
        bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) % (bytes.size() + 1);
    const std::optional<std::string> prefix = ShiftJis::encode(ShiftJis::decodePrefix(bytes, cut));
    if (!prefix || prefix->size() > cut || prefix->size() + 1 < cut ||
        std::string_view(bytes).substr(0, prefix->size()) != *prefix)
        return "decodePrefix is not a prefix of the bytes";
    return {};
}

} // namespace velkan::fuzz
