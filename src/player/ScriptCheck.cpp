#include "ScriptCheck.h"

#include "PlayerReading.h"

#include <algorithm>
#include <array>
#include <set>
#include <utility>

namespace velkan {
namespace {

struct Message {
    std::string_view code;
    std::string_view text;
};

constexpr std::array<Message, 13> kMessages = {{
    {"E01", "小節が1より前の@WAITです。プレーヤーは読み込み中に止まります"},
    {"W02", "前の行の表示が後の時刻にあるため、この行は書いた時刻より遅れて表示されます"},
    {"W03", "@WAITのステップが小節の長さ以上です。後の小節の頭で表示されます"},
    {"W04", "コマンド行が「;」で終わっていません。時刻が1行分進みます"},
    {"W05", "コマンドの後ろの文字は表示されません"},
    {"W06", "コマンド名が正しく書かれていません。別のコマンドとして読まれるか、無視されます"},
    {"W07", "改行を含めて254バイトを超える行です。プレーヤーは行を分けて読みます"},
    {"W08", "文字が80桁目を超えます"},
    {"W09", "1行目が@STARTUPではありません"},
    {"W10", "@PALの値が16個（#nの後に16個）ではありません。プレーヤーはこの@"
            "PALを無視するか、読み違えます"},
    {"W11", "曲の終わりより後のタイミングです"},
    {"W12", "コマンドに括弧がありません。行の残りがすべて引数になります"},
    {"W13", "空白の後の「@」は文字として表示されます"},
}};

// The names the player knows, written in full.
constexpr std::array<std::string_view, 35> kNames = {
    "COLOR",  "END",    "ESC",     "EXEC",    "FADE",  "GCIRCLE", "GCLS", "GINIT",  "GLINE",
    "GMODE",  "GMOVE",  "GON",     "GSCREEN", "INKEY", "LOCATE",  "LOOP", "MAG",    "MIDI",
    "OFFSET", "PAL",    "PALCHG",  "PALREV",  "PATH",  "PLOAD",   "REM",  "REMARK", "REST",
    "SCREEN", "SCROLL", "STARTUP", "STOP",    "TCLS",  "TON",     "WAIT", "WMODE"};
constexpr std::array<std::string_view, 15> kExtNames = {
    "FONTM",   "FONTP", "FONTR", "GSC",   "LINE",  "PAL",   "REGSAVE", "SCROLL",
    "TEXTDOT", "TMODE", "TSCRL", "VCOPY", "VSGET", "VSRES", "XCOPY"};

// The player reads at most 254 bytes at a time, the line's CR LF included:
// the rest of a longer line comes as a line of its own.
constexpr std::size_t kLineMostBytes = 254 - 2;
constexpr std::size_t kScreenColumns = 80;
constexpr std::size_t kPaletteValues = 16;

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string upperCopy(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

// "@STARTUP" as a whole name at the line's start, any case.
bool beginsWithStartup(std::string_view line)
{
    constexpr std::string_view kStartup = "@STARTUP";
    return upperCopy(line.substr(0, kStartup.size())) == kStartup &&
           (line.size() == kStartup.size() || !isAsciiLetter(line[kStartup.size()]));
}

template <std::size_t N>
bool known(const std::array<std::string_view, N> &names, std::string_view name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

class Checker {
public:
    void add(std::size_t line, std::string_view code) { m_found.emplace(line, std::string(code)); }

    // The commands of a line that begins with '@' or '^', as the player
    // splits them: W05 (text after them), W06 (a name not in full), W10
    // (@PAL's count), W12 (no parentheses).
    void commandLine(std::size_t line, std::string_view text)
    {
        std::size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (isBlank(c) || c == ';' || c == ':') {
                ++i;
                continue;
            }
            if (c != '@' && c != '^') {
                add(line, "W05");
                return;
            }
            const bool ext = c == '^';
            std::size_t end = ++i;
            while (end < text.size() && isAsciiLetter(text[end]))
                ++end;
            if (end == i) {
                // "@" before anything but a letter: a remark to the line's end.
                if (i < text.size() && !isBlank(text[i]) && text[i] != ';')
                    return;
                continue;
            }
            const std::string name = upperCopy(text.substr(i, end - i));
            if (!(ext ? known(kExtNames, name) : known(kNames, name)))
                add(line, "W06");
            if (end >= text.size() || text[end] != '(') {
                add(line, "W12");
                return;
            }
            const std::size_t close = text.find(')', end);
            const std::string_view args =
                text.substr(end + 1, close == std::string_view::npos ? std::string_view::npos
                                                                     : close - end - 1);
            if (!ext && name == "PAL")
                palette(line, args);
            if (close == std::string_view::npos)
                return;
            i = close + 1;
        }
    }

    // 16 colours, or a palette number and 16 colours; the player splits
    // them at "," and ";". With fewer it drops the line; with "#n" and 15
    // it takes "#n" for a colour, and past 17 it drops the rest.
    void palette(std::size_t line, std::string_view args)
    {
        std::size_t values = 1;
        for (const char c : args)
            values += c == ',' || c == ';' ? 1 : 0;
        const std::size_t start = args.find_first_not_of(" \t");
        const bool numbered = start != std::string_view::npos && args[start] == '#';
        if (values != kPaletteValues + 1 && (values != kPaletteValues || numbered))
            add(line, "W10");
    }

    // Where text runs past the screen's last column, from the events.
    void columns(const PlayerReading &reading)
    {
        std::size_t column = 1;
        for (const PlayerEvent &e : reading.events) {
            if (e.kind == PlayerEventKind::Locate && !e.numbers.empty()) {
                column = static_cast<std::size_t>(std::max(e.numbers.front(), 1));
            } else if (e.kind == PlayerEventKind::LineFeed) {
                column = 1;
            } else if (e.kind == PlayerEventKind::Text) {
                if (column - 1 + e.bytes.size() > kScreenColumns)
                    add(e.line, "W08");
                column += e.bytes.size();
            }
        }
    }

    std::vector<Finding> findings() const
    {
        std::vector<Finding> out;
        for (const auto &[line, code] : m_found)
            out.push_back({line, code, std::string(findingMessage(code))});
        return out;
    }

private:
    std::set<std::pair<std::size_t, std::string>> m_found;
};

} // namespace

std::string_view findingMessage(std::string_view code)
{
    for (const Message &m : kMessages)
        if (m.code == code)
            return m.text;
    return {};
}

std::vector<Finding> checkScript(const std::vector<std::string_view> &lines,
                                 const SongTimeline *song, std::int64_t songEndTick,
                                 const std::vector<TimeSignatureEvent> *signatures)
{
    const PlayerReading reading = readAsPlayer(lines, song, songEndTick, signatures);
    Checker check;
    if (reading.hangsAtLine)
        check.add(*reading.hangsAtLine, "E01");
    for (const std::size_t line : reading.lateLines)
        check.add(line, "W02");
    for (const std::size_t line : reading.stepPastBarLines)
        check.add(line, "W03");
    for (const std::size_t line : reading.steppedLines)
        check.add(line, "W04");
    if (song && songEndTick > 0)
        for (const PlayerReading::WaitPoint &w : reading.waits)
            if (w.tick > songEndTick)
                check.add(w.line, "W11");
    check.columns(reading);

    if (!lines.empty() && !beginsWithStartup(lines.front()))
        check.add(0, "W09");
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string_view text = lines[n];
        if (text.size() > kLineMostBytes)
            check.add(n, "W07");
        if (text.empty())
            continue;
        if (text.front() == '@' || text.front() == '^') {
            check.commandLine(n, text);
        } else {
            const std::size_t first = text.find_first_not_of(" \t");
            if (first > 0 && first != std::string_view::npos && text[first] == '@')
                check.add(n, "W13");
        }
    }
    return check.findings();
}

std::vector<Finding> checkScript(const ScriptLines &lines, const SongTimeline *song,
                                 std::int64_t songEndTick,
                                 const std::vector<TimeSignatureEvent> *signatures)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    return checkScript(views, song, songEndTick, signatures);
}

} // namespace velkan
