#pragma once

#include "aids/core/PaletteColour.h"

#include <string>
#include <string_view>
#include <vector>

namespace velkan {

// One item of the "コマンド(&C)" menu: a ready-made example line of a WRD
// command for the line edit box, and the help lines for the panel under it.
// Texts are UTF-8 (they are shown, not written into the script; the template
// lines are plain ASCII).
struct CommandTemplate {
    std::string_view menuText;
    int commandId;
    std::string_view templateLine; // empty for PAL, whose line is built from the colour
    std::vector<std::string_view> helpLines;
    bool separatorBefore; // a menu separator stands above this item
};

inline constexpr std::string_view kCommandMenuTitle = "コマンド(&C)";
inline constexpr int kCommandTemplateCount = 19;
inline constexpr int kPaletteCommandId = 32783;

// The nineteen items in menu order.
const std::vector<CommandTemplate> &commandTemplates();

// The item with that menu command id, or nullptr.
const CommandTemplate *findCommandTemplate(int commandId);

// The help lines joined with CR LF, with none after the last.
std::string helpText(const CommandTemplate &entry);

// Whether the item's template comes from the palette dialog (PAL).
inline bool buildsFromPalette(const CommandTemplate &entry)
{
    return entry.commandId == kPaletteCommandId;
}

// The PAL template: the background palette line of `colour` when the palette
// dialog was closed with OK, the fixed default palette line otherwise.
std::string paletteTemplateLine(bool accepted, const PaletteColour &colour);

// The template for any item: its fixed line, or for PAL the palette line as
// above.
std::string templateLineFor(const CommandTemplate &entry, bool paletteAccepted,
                            const PaletteColour &colour);

} // namespace velkan
