#include "aids/CommandTemplateMenu.h"

#include "aids/PaletteDialog.h"
#include "aids/core/CommandTemplates.h"
#include "form/VelkanView.h"

#include <QAction>
#include <QString>

namespace velkan {

void CommandTemplateMenu::apply(VelkanView &view, const CommandTemplate &entry)
{
    PaletteColour &colour = view.paletteColour();
    const bool accepted = buildsFromPalette(entry) && PaletteDialog::ask(&view, colour);
    const std::string line = templateLineFor(entry, accepted, colour);
    const std::string help = helpText(entry);
    view.setLineEditText(line);
    view.setHelpText(QString::fromUtf8(help.data(), static_cast<qsizetype>(help.size())));
}

void installCommandTemplateCommands(VelkanView &view)
{
    for (const CommandTemplate &entry : commandTemplates()) {
        const CommandTemplate *item = &entry;
        QObject::connect(view.action(entry.commandId), &QAction::triggered, &view,
                         [&view, item] { CommandTemplateMenu::apply(view, *item); });
    }
}

} // namespace velkan
