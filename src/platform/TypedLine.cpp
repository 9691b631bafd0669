#include "platform/TypedLine.h"

#include "platform/MessageBox.h"
#include "platform/ShiftJisCodec.h"
#include "script/Messages.h"
#include "script/ShiftJisText.h"

namespace velkan {

std::optional<std::string> typedScriptLine(QWidget *parent, const QString &text,
                                           const QString &unencodable)
{
    auto bytes = ShiftJis::encode(text);
    if (!bytes) {
        MessageBox::show(parent, unencodable.arg(ShiftJis::firstUnencodable(text)));
        return std::nullopt;
    }
    // A pasted line break would make two lines on the next load, a Ctrl-Z
    // would end the text there.
    if (!isOneScriptLine(*bytes)) {
        MessageBox::show(parent, QString::fromUtf8(messages::kNotOneLine));
        return std::nullopt;
    }
    return bytes;
}

} // namespace velkan
