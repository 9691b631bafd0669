#include "aids/KaraokeLyricsCommand.h"

#include "form/CommandIds.h"
#include "form/VelkanView.h"
#include "midi/KaraokeLyrics.h"
#include "midi/MidiReader.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "script/Messages.h"

#include <QAction>
#include <QFile>

namespace velkan {

namespace {

void makeScriptFromKaraoke(VelkanView &view)
{
    const QString path = FileDialog::getOpenFileName(
        &view, {QStringLiteral("MIDIﾌｧｲﾙ(*.RMI;*.MID)"), QStringLiteral("すべてのﾌｧｲﾙ (*.*)")});
    if (path.isEmpty())
        return;
    std::string image;
    const MidiReadResult read = readMidiFile(QFile::encodeName(path).toStdString(), &image);
    if (!read.ok()) {
        const std::string_view message = midiReadMessage(read.status);
        MessageBox::show(&view,
                         QString::fromUtf8(message.data(), static_cast<qsizetype>(message.size())));
        return;
    }
    // Without bars there is nothing to time the lines by.
    const std::optional<std::vector<ScriptLine>> script =
        read.timeline ? scriptFromKaraoke(image, *read.timeline) : std::nullopt;
    if (!script) {
        MessageBox::show(&view, QString::fromUtf8(messages::kNoLyrics));
        return;
    }
    if (!view.confirmDiscard())
        return;
    // A new script: no file holds it yet.
    view.document().assign(ScriptLines(*script), QStringLiteral("MIDIの歌詞から作成"));
    view.document().setScriptPath({});
}

} // namespace

QAction *installKaraokeLyricsCommand(VelkanView &view)
{
    auto *action = new QAction(QStringLiteral("MIDIの歌詞から作成"), &view);
    action->setObjectName(QStringLiteral("actionKaraokeLyrics"));
    action->setData(cmd::KaraokeLyrics);
    action->setStatusTip(QStringLiteral("ｶﾗｵｹMIDIﾌｧｲﾙの歌詞から、歌詞追いの時間つきのWRDを作成"));
    QObject::connect(action, &QAction::triggered, &view, [&view] { makeScriptFromKaraoke(view); });
    return action;
}

} // namespace velkan
