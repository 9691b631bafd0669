#pragma once

#include "aids/core/PaletteColour.h"

#include <QDialog>
#include <array>
#include <optional>

class QLabel;
class QPushButton;
class QScrollBar;

namespace velkan {

class PaletteSwatch;

// Sets a colour as three 4-bit components with three scroll bars while a
// swatch shows it. The colour is the caller's (the main form keeps one for its
// session, which the PAL template and the lyric layout dialog read): the bars
// start from it and write it the moment they move. Cancel does not restore
// the colour: it only tells the caller not to use it now.
class PaletteDialog : public QDialog {
    Q_OBJECT
public:
    enum Component { Red, Green, Blue };

    explicit PaletteDialog(PaletteColour &colour, QWidget *parent = nullptr);

    QScrollBar *bar(Component c) const { return m_bars[c]; }
    QLabel *valueLabel(Component c) const { return m_values[c]; }
    PaletteSwatch *swatch() const { return m_swatch; }
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

    // Runs the dialog modally over parent on colour. True when it was closed
    // with OK; either way colour holds the colour shown last.
    static bool ask(QWidget *parent, PaletteColour &colour);

    // Test seam: while answers are queued, ask() shows nothing. It builds the
    // dialog, moves the bars to `colour` when one is given (so the caller's
    // colour follows as it would), and ends with OK or Cancel as queued.
    // resetTestAnswers() empties the queue too.
    static void setNextAnswer(bool accepted, std::optional<PaletteColour> colour = std::nullopt);
    static void clearAnswers();

private:
    void onAction(Component c, int action);
    void onBarsMoved();

    PaletteColour &m_colour;
    std::array<QScrollBar *, 3> m_bars{};
    std::array<QLabel *, 3> m_values{};
    PaletteSwatch *m_swatch = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

} // namespace velkan
