#pragma once

#include "player/PlayerReading.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velkan {

// The player's 80 x 25 text screen over its 640 x 400 graphics screen, as its
// X window draws them: text in eight fixed colours over a graphics screen
// whose sixteen colours come from the palette @PAL, @FADE and @PALREV set.
// The graphics screen is never drawn on here, so it shows its colour 0.
inline constexpr int kScreenColumns = 80;
inline constexpr int kScreenRows = 25;
inline constexpr int kScreenPalettes = 20; // #0 shows; #1-#19 are stores

struct ScreenColour {
    std::uint16_t r = 0, g = 0, b = 0; // 0-65535 a channel
    friend bool operator==(const ScreenColour &, const ScreenColour &) = default;
};
using ScreenPalette = std::array<ScreenColour, 16>;

// The sixteen colours a screen starts with (and @STARTUP restores).
ScreenPalette defaultScreenPalette();
// The eight text colours: black, red, green, yellow, blue, magenta, cyan, white.
ScreenColour screenTextColour(int index);

struct ScreenCell {
    enum Attr : std::uint8_t {
        Lead = 1,     // the first half of a double-byte character
        Double = 2,   // a half of a double-byte character
        Coloured = 4, // drawn in the colour below
        Reverse = 8,  // a box in the colour below, the glyph cut out of it
        ColourShift = 4,
        ColourMask = 0x70,
    };
    std::uint8_t byte = 0; // 0: nothing drawn here
    std::uint8_t attr = 0;
    int colour() const { return (attr & ColourMask) >> ColourShift; }
    friend bool operator==(const ScreenCell &, const ScreenCell &) = default;
};

class PlayerScreen {
public:
    PlayerScreen();

    void apply(const PlayerEvent &event);

    const ScreenCell &cell(int row, int column) const
    {
        return m_cells[static_cast<std::size_t>(row * kScreenColumns + column)];
    }
    // A row's bytes, a blank for each empty cell (for tests and traces).
    std::string rowText(int row) const;
    int cursorRow() const { return m_row; }
    int cursorColumn() const { return m_column; }
    bool textShown() const { return m_textOn; }
    // The colour behind the text: the graphics screen's colour 0, or black
    // while the graphics screen is off.
    ScreenColour background() const;
    const ScreenPalette &shownPalette() const { return m_shown; }
    const ScreenPalette &palette(int n) const { return m_palettes[static_cast<std::size_t>(n)]; }

    friend bool operator==(const PlayerScreen &, const PlayerScreen &) = default;

private:
    enum class Parse : std::uint8_t { Ground, Escape, Csi };
    enum class Half : std::uint8_t { None, First, Second }; // of a double-byte character
    static constexpr int kMaxParams = 20;

    void startup();
    void write(std::string_view bytes);
    void feed(std::uint8_t byte);
    void print(std::uint8_t byte, Half half);
    void settle();
    void clearCell(int row, int column);
    void clearRange(int row, int from, int to);
    void clearRow(int row);
    void control(std::uint8_t final);
    void selectGraphicRendition();
    void showPalette(const ScreenPalette &colours);
    ScreenCell &at(int row, int column)
    {
        return m_cells[static_cast<std::size_t>(row * kScreenColumns + column)];
    }

    std::array<ScreenCell, kScreenRows * kScreenColumns> m_cells{};
    int m_row = 0;
    int m_column = 0;
    std::uint8_t m_attr = 0;
    int m_savedRow = 0;
    int m_savedColumn = 0;
    std::uint8_t m_savedAttr = 0;
    bool m_textOn = true;
    bool m_graphicsOn = true;

    Parse m_parse = Parse::Ground;
    std::array<int, kMaxParams + 1> m_params{};
    int m_paramCount = 0;
    std::uint8_t m_lead = 0; // a Shift-JIS lead byte waiting for its trail

    std::array<ScreenPalette, kScreenPalettes> m_palettes{};
    ScreenPalette m_shown{};
    int m_fadeFrom = -1;
    int m_fadeTo = -1;
};

// The screen at any moment of a reading, without replaying it from the start:
// a copy of the screen is kept every `spacing` events, and a moment is the
// nearest copy before it with at most `spacing` events replayed on it.
class PlayerScreenTimeline {
public:
    explicit PlayerScreenTimeline(std::shared_ptr<const PlayerReading> reading,
                                  std::size_t spacing = 256);

    const PlayerReading &reading() const { return *m_reading; }
    // The screen once every event shown at or before `tick` is shown.
    PlayerScreen at(std::int64_t tick) const;
    // The screen as script line `line` (from 0) takes effect: every event
    // before the first one that comes from a later line.
    PlayerScreen atLine(std::size_t line) const;
    // The tick the screen of atLine stands at (the last event it shows).
    std::int64_t tickOfLine(std::size_t line) const;
    // The screen after the first `count` events.
    PlayerScreen after(std::size_t count) const;

private:
    std::size_t countAtLine(std::size_t line) const;

    std::shared_ptr<const PlayerReading> m_reading;
    std::size_t m_spacing;
    std::vector<PlayerScreen> m_checkpoints; // after 0, spacing, 2 spacing, ... events
    std::vector<std::size_t> m_lineReached;  // the latest source line up to each event
};

} // namespace velkan
