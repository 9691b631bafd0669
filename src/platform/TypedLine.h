#pragma once

#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace velkan {

// Text the author typed (or pasted) as the Shift-JIS bytes of one script
// line. When it cannot be one, a message box says why and nothing comes back:
// `unencodable` (with %1 for the character) for a character without a
// Shift-JIS code, the one-line message for a line break or Ctrl-Z.
std::optional<std::string> typedScriptLine(QWidget *parent, const QString &text,
                                           const QString &unencodable);

} // namespace velkan
