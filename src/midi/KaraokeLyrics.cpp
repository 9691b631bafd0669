#include "midi/KaraokeLyrics.h"

#include "midi/MidiBytes.h"
#include "midi/TrackWalker.h"
#include "script/ScriptFile.h"

#include <algorithm>

namespace velkan {

namespace {

constexpr char kCtrlZ = '\x1A';

struct TextEvent {
    std::int64_t tick = 0;
    std::string_view text;
};

bool startsLine(std::string_view text)
{
    return !text.empty() && (text[0] == '/' || text[0] == '\\' || text[0] == '<');
}

// The events the words are in, in tick order; file order within a tick.
std::vector<TextEvent> wordEvents(std::string_view smf, const SmfHeader &header)
{
    std::vector<TextEvent> lyrics;
    std::vector<TextEvent> texts;
    const bool firstTrackOnly = header.format == 2; // as the timeline reads it
    forEachTrack(smf, [&](std::string_view events) {
        TrackWalker walker(events);
        TrackWalker::MetaEvent meta;
        while (walker.nextMeta(meta) && meta.type != MetaType::kEndOfTrack) {
            if (walker.tick() > SongTimeline::kLastTick)
                break;
            if (meta.type == MetaType::kLyric)
                lyrics.push_back({walker.tick(), meta.data});
            else if (meta.type == MetaType::kText && !meta.data.starts_with('@'))
                texts.push_back({walker.tick(), meta.data});
        }
        return !firstTrackOnly;
    });
    std::vector<TextEvent> &words = lyrics.empty() ? texts : lyrics;
    std::stable_sort(words.begin(), words.end(),
                     [](const TextEvent &a, const TextEvent &b) { return a.tick < b.tick; });
    return std::move(words);
}

} // namespace

std::vector<KaraokeLine> karaokeLines(std::string_view image)
{
    const std::string_view smf = unwrapRmid(image);
    const std::optional<SmfHeader> header = readSmfHeader(smf);
    if (!header)
        return {};

    std::vector<KaraokeLine> lines;
    KaraokeLine line;
    const auto endLine = [&] {
        if (!line.text.empty())
            lines.push_back(std::move(line));
        line = {};
    };
    for (const TextEvent &e : wordEvents(smf, *header)) {
        std::string_view text = e.text;
        if (startsLine(text)) {
            endLine();
            text.remove_prefix(1);
        }
        for (;;) {
            const std::size_t lineEnd = text.find_first_of("\r\n");
            const bool first = line.text.empty();
            for (const char c : text.substr(0, lineEnd))
                if (c != kCtrlZ)
                    line.text.push_back(c);
            if (first && !line.text.empty())
                line.tick = e.tick;
            if (lineEnd == std::string_view::npos)
                break;
            endLine();
            text.remove_prefix(lineEnd + 1);
        }
    }
    endLine();
    return lines;
}

std::optional<std::vector<ScriptLine>> scriptFromKaraoke(std::string_view image,
                                                         const SongTimeline &timeline)
{
    std::vector<KaraokeLine> lines = karaokeLines(image);
    if (lines.empty())
        return std::nullopt;
    std::vector<ScriptLine> script(kDefaultHeader);
    script.reserve(kDefaultHeader.size() + 2 * lines.size() + 1);
    for (KaraokeLine &line : lines) {
        script.push_back(formatWait(timeline.positionAt(line.tick)));
        script.push_back(std::move(line.text));
    }
    script.push_back(kClosingLine);
    return script;
}

} // namespace velkan
