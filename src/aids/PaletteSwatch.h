#pragma once

#include <QColor>
#include <QWidget>

namespace velkan {

// The palette dialog's colour swatch: its whole area in one colour, with a
// one-pixel black outline.
class PaletteSwatch : public QWidget {
    Q_OBJECT
public:
    explicit PaletteSwatch(QWidget *parent = nullptr);

    QColor colour() const { return m_colour; }
    void setColour(const QColor &colour);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_colour = Qt::black;
};

} // namespace velkan
