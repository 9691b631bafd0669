#include "player/PlayerReading.h"

#include "midi/MidiBytes.h"
#include "midi/TrackWalker.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>

namespace velkan {

namespace {

// The player reads a line into a buffer of this size, at most 254 bytes at a
// time, and builds each token in one of 256 bytes. Both keep what earlier
// lines and tokens left in them, and the player reads that back at times
// (a short command name is told apart by letters past its end), so both are
// kept here as the player keeps them. Bytes past the line buffer read as 0.
constexpr std::size_t kLineBufferSize = 255 + 16;
constexpr std::size_t kLineRead = 254;
constexpr std::size_t kTokenMax = 255;
constexpr unsigned char kEndOfText = 26; // Ctrl-Z
constexpr int kNoArgument = 0x7FFF;
constexpr int kFadeSteps = 12;
constexpr std::int64_t kFar = std::numeric_limits<std::int64_t>::max();

enum class Cmd : std::uint8_t {
    None,
    Color,
    End,
    Esc,
    Exec,
    Fade,
    Gcircle,
    Gcls,
    Ginit,
    Gline,
    Gmode,
    Gmove,
    Gon,
    Gscreen,
    Inkey,
    Locate,
    Loop,
    Mag,
    Midi,
    Offset,
    Pal,
    PalChg,
    PalRev,
    Path,
    Pload,
    Rem,
    Remark,
    Rest,
    Screen,
    Scroll,
    Startup,
    Stop,
    Tcls,
    Ton,
    Wait,
    Wmode,
    // The extended set, written with '^'.
    FontM,
    FontP,
    FontR,
    Gsc,
    Line,
    ExtPal,
    RegSave,
    ExtScroll,
    TextDot,
    Tmode,
    Tscrl,
    Vcopy,
    Vsget,
    Vsres,
    Xcopy,
};

enum class Token { Command, ExtCommand, Step, Lyric };

bool isLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isLetter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(unsigned char c)
{
    return c >= '0' && c <= '9';
}

// C's atoi as the C library does it: blanks, a sign, digits, held at the
// long range and then cut to int.
int cInt(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    std::uint64_t value = 0;
    bool held = false;
    for (; i < s.size() && isDigit(static_cast<unsigned char>(s[i])); ++i) {
        if (value > (std::uint64_t{1} << 63) / 10) {
            held = true;
            continue;
        }
        value = value * 10 + static_cast<std::uint64_t>(s[i] - '0');
    }
    const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
    if (held || value > limit)
        value = limit;
    const std::uint64_t bits = negative ? ~value + 1 : value;
    return static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(bits)));
}

// The number after whatever comes before the first digit (a minus sign
// included), or `fallback` when there is no digit.
int numberAfter(std::string_view s, int fallback)
{
    std::size_t i = 0;
    while (i < s.size() && !isDigit(static_cast<unsigned char>(s[i])))
        ++i;
    return i == s.size() ? fallback : cInt(s.substr(i));
}

int hexNumber(std::string_view s)
{
    if (s.empty())
        return kNoArgument;
    bool negative = false;
    std::size_t i = 0;
    if (s[0] == '-') {
        negative = true;
        i = 1;
    }
    std::uint32_t value = 0;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9')
            digit = static_cast<std::uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        else
            break;
        value = value << 4 | digit;
    }
    const std::uint32_t bits = negative ? ~value + 1 : value;
    return static_cast<int>(static_cast<std::int32_t>(bits));
}

// An argument as the player hands it on: 16 bits.
int carried(int value)
{
    return static_cast<int>(static_cast<std::uint32_t>(value) & 0xFFFF);
}

// The arguments split at ',' and ';', at most `most` of them: the text after
// the last one kept is dropped. Missing ones read as empty.
std::vector<std::string_view> splitArguments(std::string_view text, std::size_t most,
                                             std::size_t &count)
{
    std::vector<std::string_view> out(most);
    count = 0;
    std::size_t at = 0;
    while (at < text.size() && count < most) {
        const std::size_t stop = text.find_first_of(",;", at);
        if (stop == std::string_view::npos) {
            out[count++] = text.substr(at);
            break;
        }
        out[count++] = text.substr(at, stop - at);
        at = stop + 1;
    }
    return out;
}

// The script as one text, each line followed by CR LF, read a buffer at a time.
class ScriptText {
public:
    explicit ScriptText(const std::vector<std::string_view> &lines)
    {
        std::size_t total = 0;
        for (std::string_view l : lines)
            total += l.size() + 2;
        m_text.reserve(total);
        m_lineStarts.reserve(lines.size());
        for (std::string_view l : lines) {
            m_lineStarts.push_back(m_text.size());
            m_text.append(l);
            m_text.append("\r\n");
        }
    }

    // Up to 254 bytes, through the next LF, with a 0 after them. The line
    // where they start; nothing at the end of the text.
    std::optional<std::size_t> read(std::array<unsigned char, kLineBufferSize> &buffer)
    {
        if (m_at >= m_text.size())
            return std::nullopt;
        const auto line = static_cast<std::size_t>(
            std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), m_at) -
            m_lineStarts.begin() - 1);
        std::size_t n = 0;
        while (n < kLineRead && m_at < m_text.size()) {
            const char c = m_text[m_at++];
            buffer[n++] = static_cast<unsigned char>(c);
            if (c == '\n')
                break;
        }
        buffer[n] = 0;
        return line;
    }

private:
    std::string m_text;
    std::vector<std::size_t> m_lineStarts;
    std::size_t m_at = 0;
};

// Events that wait for time to pass (fade steps, key releases), soonest
// first, those due together in the order they were added. All their waits
// move at once, through one shared clock.
class WaitingEvents {
public:
    struct Event {
        bool fadeStep = false; // else a key release the trace does not show
        int step = 0;
    };

    bool empty() const { return m_due.empty(); }
    // After every event waiting as long or less.
    void add(std::int64_t wait, Event e) { m_due.emplace(m_clock + wait, e); }
    // The shortest wait; only when not empty.
    std::int64_t soonest() const { return m_due.begin()->first - m_clock; }
    void pass(std::int64_t ticks) { m_clock += ticks; }
    std::optional<Event> takeDue()
    {
        if (empty() || soonest() > 0)
            return std::nullopt;
        const Event e = m_due.begin()->second;
        m_due.erase(m_due.begin());
        return e;
    }

private:
    std::multimap<std::int64_t, Event> m_due;
    std::int64_t m_clock = 0;
};

// A meter from a tick on, as the player lists them: the first holds from the
// start, the others are looked up as time moves past their ticks.
struct Meter {
    std::int64_t startTick = 0;
    std::int64_t barTicks = 0;
};

class Reader {
public:
    Reader(const std::vector<std::string_view> &lines, std::vector<Meter> meters, int division,
           std::int64_t songEnd)
        : m_text(lines), m_spans(std::move(meters)), m_timebase(division), m_songEnd(songEnd)
    {
        m_barStep = m_spans.front().barTicks;
        m_stepInc = m_barStep;
    }

    PlayerReading run();

private:
    // --- the line buffer and the tokens ---
    unsigned char at(std::int64_t i) const
    {
        return i >= 0 && i < static_cast<std::int64_t>(kLineBufferSize)
                   ? m_buffer[static_cast<std::size_t>(i)]
                   : 0;
    }
    void put(std::int64_t i, unsigned char c)
    {
        if (i >= 0 && i < static_cast<std::int64_t>(kLineBufferSize))
            m_buffer[static_cast<std::size_t>(i)] = c;
    }
    void keep(std::size_t len, unsigned char c)
    {
        if (len < m_token.size())
            m_token[len] = c;
    }
    std::size_t bufferLength() const
    {
        std::size_t n = 0;
        while (n < kLineBufferSize && m_buffer[n] != 0)
            ++n;
        return n;
    }
    std::string_view tokenText(std::size_t from) const
    {
        std::size_t end = from;
        while (end < m_token.size() && m_token[end] != 0)
            ++end;
        return {reinterpret_cast<const char *>(m_token.data()) + from, end - from};
    }
    bool nextToken();
    bool readLine();
    Cmd lookup() const;
    void compatibility(Cmd cmd);
    bool endLineWithSemicolon();
    std::size_t readRest(bool startup);

    // --- time ---
    void inc(std::int64_t amount);
    void forward();
    void backward();
    void nextBar() { inc(m_barStep - m_step); }
    void prevBar();
    void setStep(std::int64_t step);
    void nextBars(std::int64_t count, std::int64_t until);
    void prevBars(std::int64_t target);
    void wait(int bar, int step);
    void checkRange();

    // --- what is shown ---
    void show(PlayerEventKind kind, std::vector<int> numbers = {}, std::string bytes = {});
    void showAt(std::int64_t tick, PlayerEventKind kind, std::vector<int> numbers);
    void touch();
    void noteOnce(std::vector<std::size_t> &lines) const;
    void command(Cmd cmd, std::string_view args);
    void extCommand(Cmd cmd, std::string_view args);
    void lyric();

    ScriptText m_text;
    std::array<unsigned char, kLineBufferSize> m_buffer{};
    std::array<unsigned char, kTokenMax + 1> m_token{};
    std::int64_t m_tokp = 0;
    Token m_kind = Token::Step;
    Cmd m_cmd = Cmd::None;
    std::size_t m_line = 0;
    int m_bugState = 0;
    std::int64_t m_wmodePrevStep = 0;
    int m_version = -1;

    const std::vector<Meter> m_spans; // never empty
    std::size_t m_span = 0;
    std::int64_t m_timebase;
    std::int64_t m_songEnd;
    std::int64_t m_at = 0;
    std::int64_t m_bar = 0;
    std::int64_t m_step = 0;
    std::int64_t m_barStep = 0;
    std::int64_t m_stepInc = 0;
    std::int64_t m_offset = 0;
    int m_wmode0 = 0;
    int m_wmode1 = 0;
    WaitingEvents m_waiting;
    bool m_stopped = false;
    bool m_flushing = false;

    std::int64_t m_lastShown = 0;
    PlayerReading m_out;
};

bool Reader::readLine()
{
    const std::optional<std::size_t> line = m_text.read(m_buffer);
    if (!line)
        return false;
    m_line = *line;
    const std::size_t len = bufferLength();
    if (len > 1 && at(static_cast<std::int64_t>(len) - 1) == '\n' &&
        at(static_cast<std::int64_t>(len) - 2) == '\r') {
        put(static_cast<std::int64_t>(len) - 2, '\n');
        put(static_cast<std::int64_t>(len) - 1, 0);
    }
    return true;
}

Cmd Reader::lookup() const
{
    const auto c = [this](std::size_t i) { return m_token[i]; };
    switch (c(0)) {
    case 'C':
        return Cmd::Color;
    case 'E':
        return c(1) == 'N' ? Cmd::End : c(1) == 'S' ? Cmd::Esc : Cmd::Exec;
    case 'F':
        if (c(1) == 'A')
            return Cmd::Fade;
        return c(4) == 'M' ? Cmd::FontM : c(4) == 'P' ? Cmd::FontP : Cmd::FontR;
    case 'G':
        if (c(1) == 'O')
            return Cmd::Gon;
        if (c(1) == 'S')
            return c(3) == 'R' ? Cmd::Gscreen : Cmd::Gsc;
        switch (c(3)) {
        case 'R':
            return Cmd::Gcircle;
        case 'S':
            return Cmd::Gcls;
        case 'I':
            return Cmd::Ginit;
        case 'N':
            return Cmd::Gline;
        case 'D':
            return Cmd::Gmode;
        default:
            return Cmd::Gmove;
        }
    case 'I':
        return Cmd::Inkey;
    case 'L':
        return c(2) == 'C' ? Cmd::Locate : c(2) == 'N' ? Cmd::Line : Cmd::Loop;
    case 'M':
        return c(1) == 'A' ? Cmd::Mag : Cmd::Midi;
    case 'O':
        return Cmd::Offset;
    case 'P':
        if (c(3) == 0)
            return Cmd::Pal;
        if (c(1) == 'L')
            return Cmd::Pload;
        if (c(2) == 'T')
            return Cmd::Path;
        return c(3) == 'C' ? Cmd::PalChg : Cmd::PalRev;
    case 'R':
        if (c(2) == 'G')
            return Cmd::RegSave;
        if (c(2) == 'S')
            return Cmd::Rest;
        return c(3) == 'A' ? Cmd::Remark : Cmd::Rem;
    case 'S':
        if (c(3) == 'E')
            return Cmd::Screen;
        if (c(3) == 'O')
            return Cmd::Scroll;
        return c(3) == 'R' ? Cmd::Startup : Cmd::Stop;
    case 'T':
        switch (c(1)) {
        case 'C':
            return Cmd::Tcls;
        case 'E':
            return Cmd::TextDot;
        case 'M':
            return Cmd::Tmode;
        case 'O':
            return Cmd::Ton;
        default:
            return Cmd::Tscrl;
        }
    case 'V':
        return c(2) == 'O' ? Cmd::Vcopy : c(2) == 'G' ? Cmd::Vsget : Cmd::Vsres;
    case 'W':
        return c(1) == 'A' ? Cmd::Wait : Cmd::Wmode;
    case 'X':
        return Cmd::Xcopy;
    default:
        return Cmd::None;
    }
}

// A line without its closing ";" gets one, so it does not move time on.
bool Reader::endLineWithSemicolon()
{
    const auto len = static_cast<std::int64_t>(bufferLength());
    if (len > 1 && at(len - 2) != ';') {
        put(len - 1, ';');
        put(len, '\n');
        put(len + 1, 0);
        return true;
    }
    return false;
}

// Without a version (no @STARTUP, or @STARTUP(0)) the player lets a @WAIT
// line, and a @WMODE line right after one, end as if with ";".
void Reader::compatibility(Cmd cmd)
{
    if (m_version > 0)
        return;
    if (m_bugState == 2) {
        if (cmd == Cmd::Wmode)
            endLineWithSemicolon();
        m_bugState = 0;
    }
    if (cmd == Cmd::Wait) {
        endLineWithSemicolon();
        m_bugState = 2;
    }
}

// The text of a command written without "(": to the line's end or a closing
// ";" (for @STARTUP also to a blank or the next "@").
std::size_t Reader::readRest(bool startup)
{
    std::size_t len = 1;
    unsigned char c = 0;
    while (len < kTokenMax) {
        c = at(m_tokp++);
        if ((c == ';' && at(m_tokp) == '\n') || c == '\n' || c == kEndOfText)
            break;
        if (startup && (c == '@' || c == ' '))
            break;
        keep(len++, c);
    }
    put(--m_tokp, c);
    keep(len, 0);
    return len;
}

bool Reader::nextToken()
{
    for (;;) {
        if (at(m_tokp) == 0) {
            m_tokp = 0;
            m_wmodePrevStep = 0;
            if (!readLine())
                return false;
        }
        for (;;) { // the parse restarts here while the line goes on
            if (at(m_tokp) == kEndOfText)
                return false;
            if (m_tokp == 0 && at(0) != '@' && at(0) != '^') {
                std::size_t len = 0;
                unsigned char c = 0;
                while (len < kTokenMax) {
                    c = at(m_tokp++);
                    if (c == '\n' || c == kEndOfText)
                        break;
                    keep(len++, c);
                }
                keep(len, 0);
                m_kind = Token::Lyric;
                if (c == kEndOfText) {
                    m_tokp = 0;
                    put(0, kEndOfText);
                }
                return true;
            }
            if (m_tokp == 0) {
                for (std::size_t i = 0; i < kLineBufferSize && m_buffer[i] != 0; ++i)
                    if (m_buffer[i] == '\t')
                        m_buffer[i] = ' ';
            }
            for (;;) {
                if (at(m_tokp) == ' ')
                    ++m_tokp;
                else if (at(m_tokp) == 0x81 && at(m_tokp + 1) == 0x40)
                    m_tokp += 2;
                else
                    break;
            }
            unsigned char c = at(m_tokp++);
            if (c == '\n') {
                m_kind = Token::Step;
                return true;
            }
            if (c == ';') {
                if (at(m_tokp) == '\n') {
                    m_tokp = 0;
                    put(0, 0);
                }
                break;
            }
            if (c == '@' || c == '^') {
                m_kind = c == '@' ? Token::Command : Token::ExtCommand;
                const std::int64_t afterMark = m_tokp;
                if (at(m_tokp) == 0x81 && at(m_tokp + 1) == 0x40) {
                    compatibility(Cmd::None);
                    m_tokp += 2;
                    continue;
                }
                const unsigned char next = at(m_tokp);
                if (next == ' ' || next == '\n' || next == kEndOfText || next == ';') {
                    compatibility(Cmd::None);
                    continue;
                }
                std::size_t len = 0;
                while (len < kTokenMax) {
                    c = at(m_tokp++);
                    if (!isLetter(c))
                        break;
                    keep(len++, static_cast<unsigned char>(c >= 'a' ? c - 'a' + 'A' : c));
                }
                keep(len, 0);
                m_cmd = lookup();
                m_token[0] = static_cast<unsigned char>(m_cmd);
                if (c != '(' || m_cmd == Cmd::None) {
                    if (m_cmd == Cmd::None) {
                        m_tokp = afterMark;
                        m_cmd = Cmd::Rem;
                    } else {
                        put(--m_tokp, c);
                        while (at(m_tokp) == ' ')
                            ++m_tokp;
                    }
                    readRest(m_cmd == Cmd::Startup);
                    return true;
                }
                if (m_kind == Token::ExtCommand) {
                    if (m_cmd == Cmd::Pal)
                        m_cmd = Cmd::ExtPal;
                    else if (m_cmd == Cmd::Scroll)
                        m_cmd = Cmd::ExtScroll;
                }
                len = 1;
                while (len < kTokenMax) {
                    c = at(m_tokp++);
                    if (c == ')' || c == '\n' || c == kEndOfText)
                        break;
                    keep(len++, c);
                }
                keep(len, 0);
                compatibility(m_cmd);
                if (c == kEndOfText) {
                    m_tokp = 0;
                    put(0, kEndOfText);
                }
                return true;
            }
            if (c == ':')
                continue;
            // Anything else is a remark to the line's end.
            put(--m_tokp, c);
            m_kind = Token::Command;
            m_cmd = Cmd::Rem;
            readRest(false);
            return true;
        }
    }
}

// --- time ---

void Reader::checkRange()
{
    if (m_at > SongTimeline::kLastTick || m_at < -SongTimeline::kLastTick) {
        if (!m_stopped && !m_flushing)
            m_out.overflowsAtLine = m_line;
        m_stopped = true;
    }
}

void Reader::forward()
{
    const std::size_t before = m_span;
    while (m_span + 1 < m_spans.size() && m_spans[m_span + 1].startTick <= m_at)
        ++m_span;
    if (m_span != before)
        m_barStep = m_spans[m_span].barTicks;
}

void Reader::backward()
{
    const std::size_t before = m_span;
    while (m_span > 0 && m_spans[m_span].startTick > m_at)
        --m_span;
    if (m_span != before)
        m_barStep = m_spans[m_span].barTicks;
}

void Reader::inc(std::int64_t amount)
{
    const std::int64_t whole = amount;
    // Each round either uses up the amount or fires at least one waiting event.
    do {
        if (m_waiting.empty()) {
            m_at += amount;
            break;
        }
        // Shown at the time before the move, as the player shows them.
        const std::int64_t w = std::min(amount, m_waiting.soonest());
        m_waiting.pass(w);
        while (const std::optional<WaitingEvents::Event> e = m_waiting.takeDue()) {
            if (e->fadeStep)
                showAt(m_at, PlayerEventKind::FadeStep, {e->step, kFadeSteps});
            else
                touch();
        }
        amount -= w;
        m_at += w;
    } while (amount > 0);

    m_step += whole;
    if (whole >= 0) {
        if (m_step >= m_barStep) {
            m_step -= m_barStep;
            ++m_bar;
            forward(); // the meter at the new position holds from here on
            const std::int64_t bars = m_step / m_barStep;
            m_step -= bars * m_barStep;
            m_bar += bars;
        }
    } else if (m_step < 0) {
        m_step += m_barStep;
        --m_bar;
        backward();
        if (m_step < 0) {
            const std::int64_t bars = (-m_step + m_barStep - 1) / m_barStep;
            m_step += bars * m_barStep;
            m_bar -= bars;
        }
    }
    checkRange();
}

void Reader::prevBar()
{
    if (m_bar == 0)
        return;
    inc(-m_step);
    inc(-m_barStep);
}

void Reader::setStep(std::int64_t step)
{
    inc(std::min(step, m_barStep) - m_step);
}

// `count` bars on, stopping early at `until`. Runs of whole bars that meet no
// meter change and no waiting event are crossed at once.
void Reader::nextBars(std::int64_t count, std::int64_t until)
{
    while (count > 0 && m_at < until && !m_stopped) {
        if (m_step == 0 && count > 1) {
            std::int64_t limit = until;
            if (m_span + 1 < m_spans.size())
                limit = std::min(limit, m_spans[m_span + 1].startTick);
            std::int64_t bars = count - 1;
            if (limit != kFar) // m_at stays inside the 31-bit range: no overflow here
                bars = std::min(bars, limit > m_at ? (limit - m_at - 1) / m_barStep : 0);
            if (!m_waiting.empty())
                bars = std::min(bars, (m_waiting.soonest() - 1) / m_barStep);
            if (bars > 0) {
                m_at += bars * m_barStep;
                m_bar += bars;
                m_waiting.pass(bars * m_barStep);
                count -= bars;
                checkRange();
                continue;
            }
        }
        nextBar();
        --count;
    }
}

void Reader::prevBars(std::int64_t target)
{
    while (m_bar > target && m_bar != 0 && !m_stopped) {
        const bool nothingDue = m_waiting.empty() || m_waiting.soonest() > 0;
        if (m_step == 0 && nothingDue) {
            // The first meter also holds before the song's start, so from
            // there back there is no meter change to stop at.
            const std::int64_t room =
                m_span == 0 ? m_bar - target - 1 : (m_at - m_spans[m_span].startTick) / m_barStep;
            const std::int64_t bars = std::min(m_bar - target - 1, room);
            if (bars > 0) {
                m_at -= bars * m_barStep;
                m_bar -= bars;
                m_waiting.pass(-bars * m_barStep);
                continue;
            }
        }
        prevBar();
    }
}

void Reader::wait(int bar, int step)
{
    const std::int64_t target = std::int64_t{bar} + m_offset - 1;
    if (target < 0 && m_bar >= 0) {
        // Back to the first bar, and on looking for one before it.
        m_out.hangsAtLine = m_line;
        m_stopped = true;
        return;
    }
    const std::int64_t ticks = m_timebase * step / 48;
    prevBars(target);
    if (m_bar < target)
        nextBars(target - m_bar, kFar);
    if (m_stopped)
        return;
    if (ticks >= m_barStep)
        noteOnce(m_out.stepPastBarLines);
    setStep(ticks);
    m_out.waits.push_back({m_line, m_at});
}

void Reader::noteOnce(std::vector<std::size_t> &lines) const
{
    if (lines.empty() || lines.back() != m_line)
        lines.push_back(m_line);
}

// --- what is shown ---

void Reader::showAt(std::int64_t tick, PlayerEventKind kind, std::vector<int> numbers)
{
    m_lastShown = std::max(m_lastShown, tick);
    m_out.events.push_back({m_lastShown, kind, std::move(numbers), {}, m_line});
}

void Reader::show(PlayerEventKind kind, std::vector<int> numbers, std::string bytes)
{
    for (int &n : numbers)
        n = carried(n);
    if (m_at < m_lastShown)
        noteOnce(m_out.lateLines);
    m_lastShown = std::max(m_lastShown, m_at);
    m_out.events.push_back({m_lastShown, kind, std::move(numbers), std::move(bytes), m_line});
}

void Reader::touch()
{
    m_lastShown = std::max(m_lastShown, m_at);
}

void Reader::command(Cmd cmd, std::string_view args)
{
    std::size_t argc = 0;
    const auto split = [&](std::size_t most) { return splitArguments(args, most, argc); };
    switch (cmd) {
    case Cmd::Color:
        show(PlayerEventKind::Color, {cInt(args)});
        break;
    case Cmd::End:
        nextBars(kFar, m_songEnd);
        break;
    case Cmd::Esc:
        show(PlayerEventKind::Esc, {}, std::string(args));
        break;
    case Cmd::Exec:
        show(PlayerEventKind::Exec, {}, std::string(args));
        break;
    case Cmd::Fade: {
        const auto a = split(3);
        const int speed = numberAfter(a[2], 1);
        show(PlayerEventKind::Fade, {cInt(a[0]), cInt(a[1]), speed});
        if (speed >= 1) {
            const std::int64_t ticks = (std::int64_t{speed} + 1) * m_timebase / 24;
            for (int i = 1; i <= kFadeSteps; ++i) {
                const std::int64_t delay =
                    i == kFadeSteps
                        ? ticks
                        : static_cast<std::int64_t>(static_cast<double>(ticks) * i / kFadeSteps);
                m_waiting.add(delay, {true, i});
            }
        }
        break;
    }
    case Cmd::Gcircle: {
        const auto a = split(6);
        if (argc >= 5)
            show(PlayerEventKind::Gcircle,
                 {cInt(a[0]), cInt(a[1]), cInt(a[2]), cInt(a[3]), cInt(a[4]), cInt(a[5])});
        break;
    }
    case Cmd::Gcls:
        show(PlayerEventKind::Gcls, {cInt(args)});
        break;
    case Cmd::Ginit:
        show(PlayerEventKind::Ginit, {0});
        break;
    case Cmd::Gline: {
        const auto a = split(7);
        if (argc >= 4) {
            std::vector<int> n;
            for (std::string_view s : a)
                n.push_back(cInt(s));
            show(PlayerEventKind::Gline, n);
        }
        break;
    }
    case Cmd::Gmode:
        show(PlayerEventKind::Gmode, {cInt(args)});
        break;
    case Cmd::Gmove: {
        const auto a = split(9);
        if (argc >= 6) {
            std::vector<int> n;
            for (std::string_view s : a)
                n.push_back(cInt(s));
            show(PlayerEventKind::Gmove, n);
        }
        break;
    }
    case Cmd::Gon:
        show(PlayerEventKind::Gon, {cInt(args)});
        break;
    case Cmd::Gscreen: {
        std::string dotted(args);
        std::replace(dotted.begin(), dotted.end(), '.', ',');
        std::size_t count = 0;
        const auto b = splitArguments(dotted, 2, count);
        if (count == 2)
            show(PlayerEventKind::Gscreen, {cInt(b[0]), cInt(b[1])});
        break;
    }
    case Cmd::Inkey: {
        const int bar = cInt(args);
        if (bar < m_bar)
            break;
        touch();
        const std::int64_t delay = (bar - m_bar) * m_barStep;
        m_waiting.add(delay, {false, 0});
        break;
    }
    case Cmd::Locate: {
        const bool swapped = args.find(';') != std::string_view::npos;
        const auto a = split(2);
        if (argc == 2)
            show(PlayerEventKind::Locate, swapped ? std::vector<int>{cInt(a[1]), cInt(a[0])}
                                                  : std::vector<int>{cInt(a[0]), cInt(a[1])});
        break;
    }
    case Cmd::Mag: {
        const auto a = split(5);
        if (!a[0].empty())
            show(PlayerEventKind::Mag,
                 {numberAfter(a[1], kNoArgument), numberAfter(a[2], kNoArgument),
                  numberAfter(a[3], 1), cInt(a[4])},
                 std::string(a[0]));
        break;
    }
    case Cmd::Midi:
        touch(); // sent to the synthesizer, not shown
        break;
    case Cmd::Offset:
        m_offset = cInt(args);
        break;
    case Cmd::Pal: {
        const auto a = split(17);
        if (argc != 16 && argc != 17)
            break;
        std::vector<int> n;
        std::size_t i = 0;
        if (argc == 16) {
            n.push_back(0);
        } else {
            n.push_back(cInt(a[0].starts_with('#') ? a[0].substr(1) : a[0]));
            i = 1;
        }
        for (; i < argc; ++i)
            n.push_back(a[i].empty() ? 0 : hexNumber(a[i]));
        show(PlayerEventKind::Pal, n);
        break;
    }
    case Cmd::PalChg:
        show(PlayerEventKind::PalChg, {}, std::string(args));
        break;
    case Cmd::PalRev:
        show(PlayerEventKind::PalRev, {cInt(args)});
        break;
    case Cmd::Path:
        show(PlayerEventKind::Path, {}, std::string(args));
        break;
    case Cmd::Pload:
        show(PlayerEventKind::Pload, {}, std::string(args));
        break;
    case Cmd::Rem:
        show(PlayerEventKind::Rem, {}, std::string(args));
        break;
    case Cmd::Remark:
        show(PlayerEventKind::Remark, {}, std::string(args));
        break;
    case Cmd::Rest: {
        const auto a = split(2);
        nextBars(cInt(a[0]), kFar);
        if (!m_stopped)
            setStep(m_timebase * cInt(a[1]) / 48);
        break;
    }
    case Cmd::Scroll: {
        const auto a = split(7);
        show(PlayerEventKind::Scroll,
             {numberAfter(a[0], 1), numberAfter(a[1], 1), numberAfter(a[2], 80),
              numberAfter(a[3], 25), numberAfter(a[4], 0), numberAfter(a[5], 0),
              numberAfter(a[6], 32)});
        break;
    }
    case Cmd::Startup:
        m_version = cInt(args);
        show(PlayerEventKind::Startup, {m_version});
        break;
    case Cmd::Stop:
        show(PlayerEventKind::Stop);
        break;
    case Cmd::Tcls: {
        const auto a = split(6);
        int fill = numberAfter(a[5], ' ');
        if (fill == 0)
            fill = ' ';
        show(PlayerEventKind::Tcls,
             {numberAfter(a[0], 1), numberAfter(a[1], 1), numberAfter(a[2], 80),
              numberAfter(a[3], 25), numberAfter(a[4], 0), fill});
        break;
    }
    case Cmd::Ton:
        show(PlayerEventKind::Ton, {cInt(args)});
        break;
    case Cmd::Wait: {
        const auto a = split(2);
        wait(cInt(a[0]), cInt(a[1]));
        break;
    }
    case Cmd::Wmode: {
        const auto a = split(2);
        m_wmode0 = numberAfter(a[0], m_wmode0);
        m_wmode1 = numberAfter(a[1], m_wmode1);
        if (m_version <= 0 || m_version == 400)
            m_wmodePrevStep = m_stepInc;
        if ((argc == 1 && m_wmode0 == 0) || m_wmode0 <= 0 || m_wmode0 >= 256)
            m_stepInc = m_barStep;
        else
            m_stepInc = (std::int64_t{m_wmode0} + 1) * m_timebase / 24;
        break;
    }
    case Cmd::Loop:
    case Cmd::Screen:
    case Cmd::None:
        break;
    default: // the extended set, read only after '^'
        break;
    }
}

// The extended set: one number, or a count of them the player insists on
// (exactly, or at least); each number decimal, or hexadecimal after '$'.
void Reader::extCommand(Cmd cmd, std::string_view args)
{
    const auto number = [](std::string_view s) {
        if (s.empty())
            return kNoArgument;
        return s[0] == '$' ? hexNumber(s.substr(1)) : cInt(s);
    };
    struct Rule {
        Cmd cmd;
        PlayerEventKind kind;
        std::size_t count; // 0: the whole text is one number
        std::size_t least; // fewer given: nothing shown
        bool exact;        // another count given: nothing shown
    };
    static constexpr Rule kRules[] = {
        {Cmd::FontM, PlayerEventKind::FontM, 0, 0, false},
        {Cmd::FontP, PlayerEventKind::FontP, 4, 4, true},
        {Cmd::FontR, PlayerEventKind::FontR, 17, 17, true},
        {Cmd::Gsc, PlayerEventKind::Gsc, 0, 0, false},
        {Cmd::Line, PlayerEventKind::Line, 0, 0, false},
        {Cmd::ExtPal, PlayerEventKind::ExtPal, 2, 2, true},
        {Cmd::RegSave, PlayerEventKind::RegSave, 17, 2, false},
        {Cmd::ExtScroll, PlayerEventKind::ExtScroll, 2, 2, true},
        {Cmd::TextDot, PlayerEventKind::TextDot, 0, 0, false},
        {Cmd::Tmode, PlayerEventKind::Tmode, 0, 0, false},
        {Cmd::Tscrl, PlayerEventKind::Tscrl, 0, 0, false},
        {Cmd::Vcopy, PlayerEventKind::Vcopy, 9, 9, true},
        {Cmd::Vsget, PlayerEventKind::Vsget, 4, 1, false},
        {Cmd::Xcopy, PlayerEventKind::Xcopy, 14, 9, false},
    };
    if (cmd == Cmd::Vsres) {
        show(PlayerEventKind::Vsres, {kNoArgument});
        return;
    }
    for (const Rule &rule : kRules) {
        if (rule.cmd != cmd)
            continue;
        if (rule.count == 0) {
            show(rule.kind, {number(args)});
            return;
        }
        std::size_t argc = 0;
        const std::vector<std::string_view> a = splitArguments(args, rule.count, argc);
        if (argc < rule.least || (rule.exact && argc != rule.count))
            return;
        std::vector<int> numbers;
        for (std::string_view s : a)
            numbers.push_back(number(s));
        show(rule.kind, numbers);
        return;
    }
}

void Reader::lyric()
{
    const std::string_view text = tokenText(0);
    const auto bytesOf = [](std::string_view s) { return std::string(s); };
    if (m_wmode1 == 0) {
        if (!text.empty() && text.back() == ';') {
            show(PlayerEventKind::Text, {}, bytesOf(text.substr(0, text.size() - 1)));
        } else {
            show(PlayerEventKind::Text, {}, bytesOf(text));
            show(PlayerEventKind::LineFeed);
            inc(m_stepInc);
        }
        return;
    }
    // One character a step. `text` ends before the token's 0, read as 0 here.
    const auto byte = [&text](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    };
    std::size_t i = 0;
    while (!m_stopped) { // every round moves i on by one byte at least
        if (byte(i) == ';' && byte(i + 1) == 0)
            break;
        if (byte(i) == 0) {
            show(PlayerEventKind::LineFeed);
            inc(m_stepInc);
            break;
        }
        if (byte(i) == '\\') {
            ++i; // the escaped byte, shown alone, is then read again as it is
            show(PlayerEventKind::Text, {}, bytesOf(text.substr(i, byte(i) == 0 ? 0 : 1)));
            inc(m_stepInc);
        } else if (byte(i) == '|') {
            const std::size_t from = ++i;
            while (byte(i) != 0 && byte(i) != '|') {
                if (isLeadByte(byte(i)) || byte(i) == '\\') {
                    ++i;
                    if (byte(i) == 0)
                        break;
                }
                ++i;
            }
            const std::size_t end = std::min(i, text.size());
            if (byte(i) == '|')
                ++i;
            show(PlayerEventKind::Text, {}, bytesOf(text.substr(from, end - from)));
            inc(m_stepInc);
        } else {
            const std::size_t from = i;
            if (isLeadByte(byte(i)))
                ++i;
            if (byte(i++) == 0)
                break;
            if (byte(from) != '_')
                show(PlayerEventKind::Text, {}, bytesOf(text.substr(from, i - from)));
            inc(m_stepInc);
        }
    }
}

PlayerReading Reader::run()
{
    while (!m_stopped && nextToken()) {
        if (m_version == -1 && !(m_kind == Token::Command && m_cmd == Cmd::Startup)) {
            m_version = 0;
            const std::int64_t now = m_at;
            m_at = 0;
            show(PlayerEventKind::Startup, {0});
            m_at = now;
        }
        switch (m_kind) {
        case Token::Command:
            command(m_cmd, tokenText(1));
            break;
        case Token::ExtCommand:
            extCommand(m_cmd, tokenText(1));
            break;
        case Token::Step:
            noteOnce(m_out.steppedLines);
            if (m_wmodePrevStep == 0 || m_wmodePrevStep == m_barStep || m_stepInc == m_barStep)
                inc(m_stepInc);
            else
                inc(m_wmodePrevStep);
            m_wmodePrevStep = 0;
            break;
        case Token::Lyric:
            lyric();
            break;
        }
    }
    // What still waits is shown, a bar at a time, to the player's last tick.
    m_flushing = true;
    if (!m_out.hangsAtLine) {
        while (!m_waiting.empty() && !m_stopped) {
            const std::int64_t soonest = m_waiting.soonest();
            if (m_at + soonest > SongTimeline::kLastTick)
                break;
            nextBars(kFar, m_at + soonest);
            if (!m_waiting.empty())
                nextBar();
        }
    }
    return std::move(m_out);
}

} // namespace

std::string_view playerEventWord(PlayerEventKind kind)
{
    switch (kind) {
    case PlayerEventKind::Text:
        return "text";
    case PlayerEventKind::LineFeed:
        return "linefeed";
    case PlayerEventKind::Startup:
        return "startup";
    case PlayerEventKind::Color:
        return "color";
    case PlayerEventKind::Locate:
        return "locate";
    case PlayerEventKind::Pal:
        return "pal";
    case PlayerEventKind::Tcls:
        return "tcls";
    case PlayerEventKind::Fade:
        return "fade";
    case PlayerEventKind::FadeStep:
        return "fadestep";
    case PlayerEventKind::Gcls:
        return "gcls";
    case PlayerEventKind::Gon:
        return "gon";
    case PlayerEventKind::Ton:
        return "ton";
    case PlayerEventKind::Gmode:
        return "gmode";
    case PlayerEventKind::Gscreen:
        return "gscreen";
    case PlayerEventKind::Gline:
        return "gline";
    case PlayerEventKind::Gcircle:
        return "gcircle";
    case PlayerEventKind::Gmove:
        return "gmove";
    case PlayerEventKind::Ginit:
        return "ginit";
    case PlayerEventKind::Mag:
        return "mag";
    case PlayerEventKind::PalChg:
        return "palchg";
    case PlayerEventKind::PalRev:
        return "palrev";
    case PlayerEventKind::Path:
        return "path";
    case PlayerEventKind::Pload:
        return "pload";
    case PlayerEventKind::Rem:
        return "rem";
    case PlayerEventKind::Remark:
        return "remark";
    case PlayerEventKind::Scroll:
        return "scroll";
    case PlayerEventKind::Esc:
        return "esc";
    case PlayerEventKind::Exec:
        return "exec";
    case PlayerEventKind::Stop:
        return "stop";
    case PlayerEventKind::FontM:
        return "fontm";
    case PlayerEventKind::FontP:
        return "fontp";
    case PlayerEventKind::FontR:
        return "fontr";
    case PlayerEventKind::Gsc:
        return "gsc";
    case PlayerEventKind::Line:
        return "line";
    case PlayerEventKind::ExtPal:
        return "epal";
    case PlayerEventKind::RegSave:
        return "regsave";
    case PlayerEventKind::ExtScroll:
        return "escroll";
    case PlayerEventKind::TextDot:
        return "textdot";
    case PlayerEventKind::Tmode:
        return "tmode";
    case PlayerEventKind::Tscrl:
        return "tscrl";
    case PlayerEventKind::Vcopy:
        return "vcopy";
    case PlayerEventKind::Vsget:
        return "vsget";
    case PlayerEventKind::Vsres:
        return "vsres";
    case PlayerEventKind::Xcopy:
        return "xcopy";
    }
    return "?";
}

std::int64_t playerSongEndTick(std::string_view smfImage)
{
    const std::string_view smf = unwrapRmid(smfImage);
    const std::optional<SmfHeader> header = readSmfHeader(smf);
    if (!header)
        return 0;
    std::int64_t last = 0;
    const bool firstTrackOnly = header->format == 2;
    forEachTrack(smf, [&](std::string_view events) {
        TrackWalker walker(events);
        TrackWalker::Event e;
        while (walker.next(e)) {
            if (e.kind == TrackWalker::Event::Kind::Meta &&
                (e.metaType == MetaType::kEndOfTrack || (e.metaType >= 1 && e.metaType <= 15)))
                continue;
            last = std::max(last, walker.tick());
        }
        return !firstTrackOnly;
    });
    return std::min(last, SongTimeline::kLastTick);
}

std::vector<TimeSignatureEvent> playerTimeSignatures(std::string_view smfImage)
{
    const std::string_view smf = unwrapRmid(smfImage);
    const std::optional<SmfHeader> header = readSmfHeader(smf);
    std::vector<TimeSignatureEvent> out;
    if (!header)
        return out;
    const bool firstTrackOnly = header->format == 2;
    forEachTrack(smf, [&](std::string_view events) {
        TrackWalker walker(events);
        TrackWalker::MetaEvent meta;
        while (walker.nextMeta(meta) && meta.type != MetaType::kEndOfTrack) {
            if (meta.type == MetaType::kTimeSignature && meta.data.size() == 4)
                out.push_back({walker.tick(), static_cast<unsigned char>(meta.data[0]),
                               static_cast<unsigned char>(meta.data[1])});
        }
        return !firstTrackOnly;
    });
    std::stable_sort(
        out.begin(), out.end(),
        [](const TimeSignatureEvent &a, const TimeSignatureEvent &b) { return a.tick < b.tick; });
    return out;
}

PlayerReading readAsPlayer(const std::vector<std::string_view> &lines, const SongTimeline *song,
                           std::int64_t songEndTick,
                           const std::vector<TimeSignatureEvent> *signatures)
{
    const int division = song ? song->division() : 480;
    std::vector<Meter> meters;
    if (signatures) {
        for (const TimeSignatureEvent &e : *signatures) {
            if (e.numerator <= 0 || e.denominatorExponent < 0 || e.denominatorExponent > 30 ||
                e.tick < 0 || e.tick > SongTimeline::kLastTick)
                continue;
            const std::int64_t ticks = std::int64_t{e.numerator} * division * 4 /
                                       (std::int64_t{1} << e.denominatorExponent);
            if (ticks >= 1)
                meters.push_back({e.tick, ticks});
        }
        std::stable_sort(meters.begin(), meters.end(),
                         [](const Meter &a, const Meter &b) { return a.startTick < b.startTick; });
        // 4/4 until the first, unless it stands at the start.
        if (meters.empty() || meters.front().startTick > 0)
            meters.insert(meters.begin(), Meter{0, std::int64_t{4} * division});
    } else if (song) {
        for (const SongTimeline::MeterSpan &span : song->meterSpans())
            meters.push_back({span.startTick, span.barTicks});
    } else {
        meters.push_back({0, std::int64_t{4} * division});
    }
    Reader reader(lines, std::move(meters), division, songEndTick);
    return reader.run();
}

PlayerReading readAsPlayer(const ScriptLines &lines, const SongTimeline *song,
                           std::int64_t songEndTick,
                           const std::vector<TimeSignatureEvent> *signatures)
{
    std::vector<std::string_view> views(lines.begin(), lines.end());
    return readAsPlayer(views, song, songEndTick, signatures);
}

} // namespace velkan
