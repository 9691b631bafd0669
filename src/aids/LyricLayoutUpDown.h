#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace velkan {

// A small up/down control bound to an edit box, writing its number into it.
// Unlike a spin box it leaves typed text alone: the edit box may hold any
// number, and only a click brings it back into range.
class LyricLayoutUpDown : public QWidget {
    Q_OBJECT
public:
    LyricLayoutUpDown(QLineEdit *buddy, QWidget *parent = nullptr);

    void setRange(int minimum, int maximum);
    // Writes value, held to the range, into the buddy.
    void setValue(int value);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void step(int delta);

    QLineEdit *m_buddy;
    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum = 0;
    int m_maximum = 100;
};

} // namespace velkan
