#include "player/PlayerScreen.h"

#include <algorithm>
#include <string>

namespace velkan {

namespace {

// The sixteen colours of a fresh screen, four bits a channel (0xRGB).
constexpr std::array<int, 16> kDefaultColours = {0x000, 0xf00, 0x0f0, 0xff0, 0x00f, 0xf0f,
                                                 0x0ff, 0xfff, 0x444, 0xc44, 0x4c4, 0xcc4,
                                                 0x44c, 0xc4c, 0x4cc, 0xccc};
// @COLOR(16)-@COLOR(23) name their colours in another order than 30-37.
constexpr std::array<int, 8> kColourRemap = {0, 1, 4, 5, 2, 3, 6, 7};
// Numbers in a control sequence stop growing here; no screen reaches so far.
constexpr int kParamLimit = 1'000'000;

ScreenColour fromTwelveBits(int value)
{
    const auto channel = [](int v) { return static_cast<std::uint16_t>((v & 0xf) * 0x1111); };
    return {channel(value >> 8), channel(value >> 4), channel(value)};
}

bool isLeadByte(std::uint8_t b)
{
    return (b >= 0x81 && b <= 0x9f) || (b >= 0xe0 && b <= 0xfc);
}

bool isTrailByte(std::uint8_t b)
{
    return b >= 0x40 && b <= 0xfc && b != 0x7f;
}

bool isPalette(int n)
{
    return n >= 0 && n < kScreenPalettes;
}

int number(const PlayerEvent &e, std::size_t i, int otherwise = 0)
{
    return i < e.numbers.size() ? e.numbers[i] : otherwise;
}

std::string csi(std::initializer_list<int> params, char final)
{
    std::string s = "\x1b[";
    bool first = true;
    for (const int p : params) {
        if (!first)
            s += ';';
        s += std::to_string(p);
        first = false;
    }
    s += final;
    return s;
}

} // namespace

ScreenPalette defaultScreenPalette()
{
    ScreenPalette p;
    for (std::size_t i = 0; i < p.size(); ++i)
        p[i] = fromTwelveBits(kDefaultColours[i]);
    return p;
}

ScreenColour screenTextColour(int index)
{
    const int i = index & 7;
    const auto on = [](bool b) { return static_cast<std::uint16_t>(b ? 0xffff : 0); };
    return {on((i & 1) != 0), on((i & 2) != 0), on((i & 4) != 0)};
}

PlayerScreen::PlayerScreen()
{
    startup();
    m_fadeFrom = m_fadeTo = -1;
}

std::string PlayerScreen::rowText(int row) const
{
    std::string s;
    for (int c = 0; c < kScreenColumns; ++c) {
        const std::uint8_t b = cell(row, c).byte;
        s += b == 0 ? ' ' : static_cast<char>(b);
    }
    return s;
}

ScreenColour PlayerScreen::background() const
{
    return m_graphicsOn ? m_shown[0] : ScreenColour{};
}

void PlayerScreen::startup()
{
    m_cells.fill({});
    m_row = m_column = 0;
    m_attr = 0;
    m_savedRow = m_savedColumn = 0;
    m_textOn = m_graphicsOn = true;
    m_parse = Parse::Ground;
    m_paramCount = 0;
    m_lead = 0;
    m_palettes.fill(defaultScreenPalette());
    m_shown = defaultScreenPalette();
}

void PlayerScreen::showPalette(const ScreenPalette &colours)
{
    m_shown = colours;
    m_palettes[0] = colours;
}

void PlayerScreen::apply(const PlayerEvent &e)
{
    switch (e.kind) {
    case PlayerEventKind::Text:
        write(e.bytes);
        m_lead = 0; // a lead byte at a text's end has lost its trail
        break;
    case PlayerEventKind::LineFeed:
        feed('\n');
        break;
    case PlayerEventKind::Startup:
        startup();
        break;
    case PlayerEventKind::Color:
        write(csi({number(e, 0)}, 'm'));
        break;
    case PlayerEventKind::Locate:
        write(csi({number(e, 1), number(e, 0)}, 'H'));
        break;
    case PlayerEventKind::Esc:
        write("\x1b[");
        for (const char c : e.bytes)
            feed(static_cast<std::uint8_t>(c));
        break;
    case PlayerEventKind::Tcls: {
        const int x1 = number(e, 0, 1), y1 = number(e, 1, 1), x2 = number(e, 2, 80),
                  y2 = number(e, 3, 25);
        std::int64_t width = std::int64_t{x2} - x1 + 1;
        if (width > kScreenColumns)
            width = std::int64_t{kScreenColumns} - x1;
        if (width < 0 || width > kScreenColumns)
            break;
        write(csi({}, 's'));
        write(csi({number(e, 4)}, 'm'));
        const auto fill = static_cast<std::uint8_t>(number(e, 5, ' '));
        // Rows far off the screen (either sign: the sign is not read) all end
        // with the same screen, so one of them stands for the rest.
        for (std::int64_t y = y1; y <= y2; ++y) {
            if (y < -60)
                y = -60;
            else if (y > 60 && y < y2)
                y = y2;
            write(csi({static_cast<int>(y), x1}, 'H'));
            for (std::int64_t i = 0; i < width; ++i) {
                print(fill, Half::None);
                settle();
            }
        }
        write(csi({}, 'u'));
        break;
    }
    case PlayerEventKind::Pal: {
        const int n = number(e, 0);
        if (!isPalette(n) || e.numbers.size() < 17)
            break;
        ScreenPalette p;
        for (std::size_t i = 0; i < p.size(); ++i)
            p[i] = fromTwelveBits(e.numbers[i + 1]);
        m_palettes[static_cast<std::size_t>(n)] = p;
        if (n == 0)
            m_shown = p;
        break;
    }
    case PlayerEventKind::PalRev: {
        const int n = number(e, 0);
        if (!isPalette(n))
            break;
        for (ScreenColour &c : m_palettes[static_cast<std::size_t>(n)]) {
            c.r ^= 0xffff;
            c.g ^= 0xffff;
            c.b ^= 0xffff;
        }
        if (n == 0)
            m_shown = m_palettes[0];
        break;
    }
    case PlayerEventKind::Fade: {
        const int from = number(e, 0), to = number(e, 1), speed = number(e, 2);
        if (speed == 0 && isPalette(to)) {
            showPalette(m_palettes[static_cast<std::size_t>(to)]);
        } else if (isPalette(from) && isPalette(to)) {
            m_fadeFrom = from;
            m_fadeTo = to;
        } else {
            m_fadeFrom = m_fadeTo = -1;
        }
        break;
    }
    case PlayerEventKind::FadeStep: {
        const int step = number(e, 0), steps = number(e, 1, 12);
        if (m_fadeFrom < 0 || steps <= 0)
            break;
        const ScreenPalette &from = m_palettes[static_cast<std::size_t>(m_fadeFrom)];
        const ScreenPalette &to = m_palettes[static_cast<std::size_t>(m_fadeTo)];
        if (step >= steps) {
            showPalette(to);
            break;
        }
        // On a true-colour display the player draws only the odd steps.
        if (step % 2 == 0)
            break;
        const auto between = [&](std::uint16_t a, std::uint16_t b) {
            return static_cast<std::uint16_t>((int{b} - int{a}) / steps * step + a);
        };
        for (std::size_t i = 0; i < m_shown.size(); ++i)
            m_shown[i] = {between(from[i].r, to[i].r), between(from[i].g, to[i].g),
                          between(from[i].b, to[i].b)};
        break;
    }
    case PlayerEventKind::Gon:
        m_graphicsOn = number(e, 0) != 0;
        break;
    case PlayerEventKind::Ton:
        m_textOn = number(e, 0) != 0;
        break;
    default:
        break; // graphics, files and remarks leave the text screen as it is
    }
}

void PlayerScreen::write(std::string_view bytes)
{
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (m_parse == Parse::Ground && m_lead != 0) {
            const std::uint8_t lead = m_lead;
            m_lead = 0;
            if (isTrailByte(b)) {
                print(lead, Half::First);
                settle();
                print(b, Half::Second);
                settle();
                continue;
            }
        }
        if (m_parse == Parse::Ground && isLeadByte(b)) {
            m_lead = b;
            continue;
        }
        feed(b);
    }
}

void PlayerScreen::feed(std::uint8_t b)
{
    switch (m_parse) {
    case Parse::Ground:
        switch (b) {
        case 0x1b:
            m_parse = Parse::Escape;
            break;
        case '\b':
            if (m_column > 0)
                --m_column;
            break;
        case '\t':
            m_column = (m_column + 8) & ~7;
            break;
        case '\r':
            m_column = 0;
            break;
        case '\n':
        case '\v':
        case '\f':
            ++m_row;
            m_column = 0;
            break;
        default:
            if (b >= 0x20 && b != 0x7f)
                print(b, Half::None);
            break;
        }
        break;
    case Parse::Escape:
        if (b == '[') {
            m_parse = Parse::Csi;
            m_paramCount = 0;
            m_params[0] = -1;
        } else {
            m_parse = Parse::Ground;
        }
        break;
    case Parse::Csi:
        if (b >= '0' && b <= '9') {
            int &p = m_params[static_cast<std::size_t>(m_paramCount)];
            p = std::min(kParamLimit, std::max(p, 0) * 10 + (b - '0'));
        } else if (b == ';') {
            if (m_paramCount < kMaxParams)
                m_params[static_cast<std::size_t>(++m_paramCount)] = -1;
        } else if (b >= 0x40 && b <= 0x7e) {
            m_parse = Parse::Ground;
            control(b);
        }
        break;
    }
    settle();
}

void PlayerScreen::print(std::uint8_t byte, Half half)
{
    const bool firstHalf = half == Half::First;
    // The column past the last wraps before the character is put down; a
    // double-byte character does not start in the last column.
    for (;;) {
        if (m_column == kScreenColumns || (firstHalf && m_column == kScreenColumns - 1)) {
            m_column += m_column == kScreenColumns ? 1 : 2;
            settle();
            continue;
        }
        break;
    }
    clearCell(m_row, m_column);
    std::uint8_t attr = m_attr;
    if (half != Half::None)
        attr |= ScreenCell::Double;
    if (firstHalf)
        attr |= ScreenCell::Lead;
    at(m_row, m_column) = {byte, attr};
    ++m_column;
}

void PlayerScreen::settle()
{
    if (m_column >= kScreenColumns + 1) {
        const int wraps = (m_column - kScreenColumns - 1) / kScreenColumns + 1;
        m_column -= wraps * kScreenColumns;
        m_row = std::min(kParamLimit, m_row + wraps);
    }
    if (m_column < 0) {
        const int wraps = (-m_column - 1) / kScreenColumns + 1;
        m_column += wraps * kScreenColumns;
        m_row -= wraps;
    }
    if (m_row < 0)
        m_row = 0;
    if (m_row >= kScreenRows) {
        const int lines = std::min(m_row - (kScreenRows - 1), kScreenRows);
        std::copy(m_cells.begin() + lines * kScreenColumns, m_cells.end(), m_cells.begin());
        std::fill(m_cells.end() - lines * kScreenColumns, m_cells.end(), ScreenCell{});
        m_row = kScreenRows - 1;
    }
}

void PlayerScreen::clearCell(int row, int column)
{
    ScreenCell &c = at(row, column);
    if (c.attr & ScreenCell::Double) {
        const int other = c.attr & ScreenCell::Lead ? column + 1 : column - 1;
        if (other >= 0 && other < kScreenColumns)
            at(row, other) = {};
    }
    c = {};
}

void PlayerScreen::clearRange(int row, int from, int to)
{
    for (int c = std::max(from, 0); c < std::min(to, kScreenColumns); ++c)
        at(row, c) = {};
}

void PlayerScreen::clearRow(int row)
{
    clearRange(row, 0, kScreenColumns);
}

void PlayerScreen::control(std::uint8_t final)
{
    const auto param = [&](int i) {
        return i <= m_paramCount ? m_params[static_cast<std::size_t>(i)] : -1;
    };
    const int count = std::max(param(0), 1);
    switch (final) {
    case 'm':
        selectGraphicRendition();
        break;
    case 'H':
    case 'f':
        m_row = param(0) < 1 ? 0 : param(0) - 1;
        m_column = m_paramCount >= 1 && param(1) >= 1 ? param(1) - 1 : 0;
        break;
    case 'J':
        switch (param(0)) {
        case -1:
        case 1:
            clearRange(m_row, 0, m_column);
            for (int r = 0; r < m_row; ++r)
                clearRow(r);
            break;
        case 0:
            for (int r = m_row; r < kScreenRows; ++r)
                clearRow(r);
            break;
        case 2:
            m_cells.fill({});
            m_row = m_column = 0;
            break;
        default:
            break;
        }
        break;
    case 'K':
        switch (param(0)) {
        case -1:
        case 0:
            if (m_column > 0 && (at(m_row, m_column - 1).attr & ScreenCell::Lead))
                at(m_row, m_column - 1) = {};
            clearRange(m_row, m_column, kScreenColumns);
            break;
        case 1:
            clearRange(m_row, 0, m_column);
            break;
        case 2:
            clearRow(m_row);
            break;
        default:
            break;
        }
        break;
    case 'A':
        m_row -= count;
        break;
    case 'B':
        m_row = std::min(kParamLimit, m_row + count);
        break;
    case 'C':
        m_column = std::min(kParamLimit, m_column + count);
        break;
    case 'D':
        m_column -= count;
        break;
    case 's':
        m_savedRow = m_row;
        m_savedColumn = m_column;
        m_savedAttr = m_attr;
        break;
    case 'u':
        m_row = m_savedRow;
        m_column = m_savedColumn;
        m_attr = m_savedAttr;
        break;
    default:
        break;
    }
}

void PlayerScreen::selectGraphicRendition()
{
    constexpr std::uint8_t colourBits =
        ScreenCell::Coloured | ScreenCell::Reverse | ScreenCell::ColourMask;
    for (int i = 0; i <= m_paramCount; ++i) {
        int p = m_params[static_cast<std::size_t>(i)];
        if (p >= 16 && p <= 23)
            p = kColourRemap[static_cast<std::size_t>(p - 16)] + 30;
        if (p >= 30 && p <= 37) {
            m_attr = static_cast<std::uint8_t>((m_attr & ~ScreenCell::ColourMask) |
                                               ((p - 30) << ScreenCell::ColourShift) |
                                               ScreenCell::Coloured);
        } else if (p >= 40 && p <= 47) {
            m_attr = static_cast<std::uint8_t>(
                (m_attr & ~(ScreenCell::ColourMask | ScreenCell::Coloured)) |
                ((p - 40) << ScreenCell::ColourShift) | ScreenCell::Reverse);
        } else {
            m_attr = static_cast<std::uint8_t>(m_attr & ~colourBits);
        }
    }
}

// --- the timeline ---

PlayerScreenTimeline::PlayerScreenTimeline(std::shared_ptr<const PlayerReading> reading,
                                           std::size_t spacing)
    : m_reading(std::move(reading)), m_spacing(std::max<std::size_t>(spacing, 1))
{
    const std::vector<PlayerEvent> &events = m_reading->events;
    PlayerScreen screen;
    m_checkpoints.reserve(events.size() / m_spacing + 1);
    m_checkpoints.push_back(screen);
    m_lineReached.reserve(events.size());
    std::size_t reached = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        screen.apply(events[i]);
        reached = std::max(reached, events[i].line);
        m_lineReached.push_back(reached);
        if ((i + 1) % m_spacing == 0)
            m_checkpoints.push_back(screen);
    }
}

PlayerScreen PlayerScreenTimeline::after(std::size_t count) const
{
    const std::vector<PlayerEvent> &events = m_reading->events;
    count = std::min(count, events.size());
    const std::size_t k = count / m_spacing;
    PlayerScreen screen = m_checkpoints[k];
    for (std::size_t i = k * m_spacing; i < count; ++i)
        screen.apply(events[i]);
    return screen;
}

PlayerScreen PlayerScreenTimeline::at(std::int64_t tick) const
{
    const std::vector<PlayerEvent> &events = m_reading->events;
    const auto end =
        std::upper_bound(events.begin(), events.end(), tick,
                         [](std::int64_t t, const PlayerEvent &e) { return t < e.tick; });
    return after(static_cast<std::size_t>(end - events.begin()));
}

std::size_t PlayerScreenTimeline::countAtLine(std::size_t line) const
{
    return static_cast<std::size_t>(
        std::upper_bound(m_lineReached.begin(), m_lineReached.end(), line) - m_lineReached.begin());
}

PlayerScreen PlayerScreenTimeline::atLine(std::size_t line) const
{
    return after(countAtLine(line));
}

std::int64_t PlayerScreenTimeline::tickOfLine(std::size_t line) const
{
    const std::size_t count = countAtLine(line);
    std::int64_t tick = count == 0 ? 0 : m_reading->events[count - 1].tick;
    // A line with no event of its own may still move time (a @WAIT): the
    // screen stands where that line left time, if that is later.
    const auto &waits = m_reading->waits;
    const auto w = std::upper_bound(
        waits.begin(), waits.end(), line,
        [](std::size_t l, const PlayerReading::WaitPoint &p) { return l < p.line; });
    if (w != waits.begin())
        tick = std::max(tick, std::prev(w)->tick);
    return tick;
}

} // namespace velkan
