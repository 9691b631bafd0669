#pragma once

namespace velkan {

class VelkanView;
struct CommandTemplate;

// The "コマンド(&C)" menu: each item puts its command's template line into the
// line edit box and its help lines into the help panel, and gives the line
// edit box the focus. PAL builds its line from the view's palette colour, as
// the palette dialog leaves it.
// The script list, its selection and playback are never touched.
class CommandTemplateMenu {
public:
    // Fills the two boxes for one item (PAL runs PaletteDialog first).
    static void apply(VelkanView &view, const CommandTemplate &entry);
};

// Registers the handlers of command ids 32772 .. 32790 on the view.
void installCommandTemplateCommands(VelkanView &view);

} // namespace velkan
