#pragma once

#include <QDialog>
#include <array>
#include <optional>

class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace velkan {

class VelkanView;

// Asks by how much to shift every @WAIT line: a sixteenth, an eighth or a
// quarter note, earlier or later. Every opening starts on the first choice.
class TimingOffsetDialog : public QDialog {
    Q_OBJECT
public:
    explicit TimingOffsetDialog(QWidget *parent = nullptr);

    // 1 .. 6, in the order of the radio buttons (1047 .. 1052).
    int choice() const { return m_choice; }
    QRadioButton *radio(int choice) const;
    QPushButton *okButton() const { return m_ok; }
    QPushButton *cancelButton() const { return m_cancel; }

    // Runs the dialog modally; the choice when closed with OK, nothing on Cancel.
    static std::optional<int> ask(QWidget *parent);

    // Test seam: while answers are queued, ask() shows nothing; it builds the
    // dialog, clicks the radio button of `choice` and ends as queued.
    // resetTestAnswers() empties the queue too.
    static void setNextAnswer(bool accepted, int choice = 1);
    static void clearAnswers();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void startOver();

    std::array<QRadioButton *, 6> m_radios{};
    QButtonGroup *m_group = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    int m_choice = 1;
};

// Registers command 32791 "歌詞追い時間の調整": asks for the offset, then
// shifts every line of the script list that begins "@WAIT(", through bars as
// long as the loaded song's meter makes them, and tells how many lines had to
// be held at the song's start.
void installTimingOffsetCommand(VelkanView &view);

} // namespace velkan
