#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velkan {

// What a lyrics file is written in. Scripts are Shift-JIS; lyrics written on
// a Linux machine are mostly UTF-8, now and then UTF-16.
enum class TextEncoding { ShiftJis, Utf8, Utf8Bom, Utf16Le, Utf16Be };

// Shift-JIS unless the bytes say otherwise:
//  - a byte-order mark: EF BB BF is UTF-8, FF FE UTF-16 LE, FE FF UTF-16 BE
//    (no Shift-JIS text begins with one of them: EF BB is no character, and
//    FE and FF are no bytes of the code page);
//  - UTF-8 when the text up to its first Ctrl-Z (where a load stops reading)
//    is strictly valid UTF-8 (shortest forms only, no surrogates, nothing past
//    U+10FFFF, no sequence cut short) and holds at least one character beyond
//    ASCII. ASCII alone is the same bytes in both and stays as it is.
// Shift-JIS lyrics are almost never valid UTF-8: the lead bytes of kana,
// punctuation and most kanji (81-9F) are UTF-8 continuation bytes, out of
// place after ASCII or a line end. A text passes only when every one of its
// characters beyond ASCII lines up as a UTF-8 sequence, as half-width
// katakana pairs such as "ﾃｽ" (C3 BD, "ý") or a kanji of lead E0-EF followed by
// half-width katakana do; such a rare text is read as UTF-8.
TextEncoding detectTextEncoding(std::string_view bytes);

// The name of an encoding as messages give it: "UTF-8", "UTF-16 LE", ...
std::string_view encodingName(TextEncoding encoding);

// Why a text could not be converted, and where.
struct ConversionProblem {
    enum class Kind {
        NoShiftJisCode, // the character has no Shift-JIS code
        Malformed,      // bytes that are not text in the file's encoding
    };
    Kind kind = Kind::NoShiftJisCode;
    std::size_t line = 1;   // from 1, counted by the line feeds before it
    char32_t character = 0; // NoShiftJisCode: the character
};

struct ShiftJisConversion {
    std::string bytes;                        // the text in Shift-JIS
    std::optional<ConversionProblem> problem; // set: bytes is not the whole text
};

// The text of `bytes`, written in `from` (its byte-order mark, if any, is
// dropped), as Shift-JIS through the one encoder; Shift-JIS bytes come back
// as they are. ASCII keeps its bytes. A Ctrl-Z ends the text, as it ends a
// loaded one. The first character without a code, or the first malformed
// sequence, stops the conversion.
ShiftJisConversion convertToShiftJis(std::string_view bytes, TextEncoding from);

// The editor's message for a problem (UTF-8), naming the line and the
// character: "3 行目の「é」(U+00E9) は Shift-JIS で表せない文字のため、読み込めません"
std::string conversionProblemMessage(const ConversionProblem &problem, TextEncoding from);

} // namespace velkan
