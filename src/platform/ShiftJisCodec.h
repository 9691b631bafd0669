#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace velkan {

// Shift-JIS (code page 932) for display and for the line edit box.
//
// Lines stay bytes everywhere else; this turns them into text and back so that
// bytes -> text -> bytes is the identity for every byte string:
//  - bytes that are not valid CP932 become private-use characters
//    U+F700 + byte, which encode back to that byte;
//  - a valid code that decodes to the same character as another code (the NEC
//    and IBM duplicate rows) becomes that character followed by a variation
//    selector naming which of its codes it was.
// Text -> bytes is otherwise the program's one encoder (script/ShiftJisEncoder),
// which also gives the characters Linux input writes in place of the code
// page's own (the wave dash for the fullwidth tilde, and so on) their codes.
namespace ShiftJis {

QString decode(std::string_view bytes);
// Decodes at most maxBytes bytes, never splitting a double-byte character;
// for showing a prefix of a very long line.
QString decodePrefix(std::string_view bytes, std::size_t maxBytes);
// The bytes of text, or nothing when some character has no CP932 code.
std::optional<std::string> encode(const QString &text);
// The first character of text that has no CP932 code (for messages).
QString firstUnencodable(const QString &text);

} // namespace ShiftJis
} // namespace velkan
