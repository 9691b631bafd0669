#include "aids/PaletteDialog.h"

#include "aids/PaletteSwatch.h"
#include "platform/DialogUnits.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/TestAnswers.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <algorithm>

namespace velkan {

namespace {

constexpr int kMaxComponent = 15;
constexpr int kLineStep = 1;
constexpr int kPageStep = 2;

struct QueuedAnswer {
    bool accepted;
    std::optional<PaletteColour> colour;
};
TestAnswers<QueuedAnswer> g_answers;

// Where a bar goes for a scroll action. Qt has already moved the slider
// position by its own steps (a page would be 10); only the thumb's position
// of a drag is taken from it.
int positionFor(int action, int position, int thumb)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return position - kLineStep;
    case QAbstractSlider::SliderSingleStepAdd:
        return position + kLineStep;
    case QAbstractSlider::SliderPageStepSub:
        return position - kPageStep;
    case QAbstractSlider::SliderPageStepAdd:
        return position + kPageStep;
    case QAbstractSlider::SliderMove:
        return thumb;
    case QAbstractSlider::SliderToMinimum:
        return 0;
    case QAbstractSlider::SliderToMaximum:
        return kMaxComponent;
    default:
        return position;
    }
}

QString valueText(int v)
{
    return QString::asprintf("(%1X)", static_cast<unsigned>(v));
}

QColor toQColor(const Rgb8 &c)
{
    return QColor(c.red, c.green, c.blue);
}

} // namespace

PaletteDialog::PaletteDialog(PaletteColour &colour, QWidget *parent)
    : QDialog(parent), m_colour(colour)
{
    setObjectName(QStringLiteral("paletteDialog"));
    setFont(Fonts::formFont());
    const DialogUnits du(font());
    setFixedSize(du.size(175, 57));

    m_swatch = new PaletteSwatch(this);
    m_swatch->setObjectName(QStringLiteral("swatch"));
    m_swatch->setGeometry(du.rect(7, 7, 44, 44));

    static constexpr const char *kNames[] = {"red", "green", "blue"};
    static constexpr const char16_t *kCaptions[] = {u"R", u"G", u"B"};
    const PaletteColour start = m_colour;
    const int values[] = {start.red, start.green, start.blue};
    for (int c = Red; c <= Blue; ++c) {
        const int y = 8 + 15 * c;
        const QString name = QString::fromLatin1(kNames[c]);

        auto *caption = new QLabel(QString::fromUtf16(kCaptions[c]), this);
        caption->setObjectName(name + QStringLiteral("Caption"));
        caption->setGeometry(du.rect(57, y + 1, 7, 8));

        auto *value = new QLabel(this);
        value->setObjectName(name + QStringLiteral("Value"));
        value->setGeometry(du.rect(65, y + 1, 14, 8));
        m_values[c] = value;

        auto *bar = new QScrollBar(Qt::Horizontal, this);
        bar->setObjectName(name + QStringLiteral("Bar"));
        bar->setGeometry(du.rect(81, y, 48, 10));
        bar->setRange(0, kMaxComponent);
        bar->setSingleStep(kLineStep);
        bar->setPageStep(kPageStep);
        bar->setValue(std::clamp(values[c], 0, kMaxComponent));
        m_bars[c] = bar;

        const auto component = static_cast<Component>(c);
        connect(bar, &QAbstractSlider::actionTriggered, this,
                [this, component](int action) { onAction(component, action); });
        // Also catches moves that bypass the actions (the bar's context menu).
        connect(bar, &QAbstractSlider::valueChanged, this, &PaletteDialog::onBarsMoved);
    }

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    m_ok->setGeometry(du.rect(134, 7, 36, 14));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setGeometry(du.rect(134, 25, 36, 14));
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    setWindowTitle(QStringLiteral("パッレト設定ダイアログ"));
    HelpWindow::addHelpKey(this, QStringLiteral("palette"));
    onBarsMoved();
}

void PaletteDialog::onAction(Component c, int action)
{
    QScrollBar *bar = m_bars[c];
    // value() still holds the position before the action; Qt applies the
    // slider position set here once this slot returns.
    const int next = positionFor(action, bar->value(), bar->sliderPosition());
    bar->setSliderPosition(std::clamp(next, 0, kMaxComponent));
}

void PaletteDialog::onBarsMoved()
{
    m_colour = {m_bars[Red]->value(), m_bars[Green]->value(), m_bars[Blue]->value()};
    const int values[] = {m_colour.red, m_colour.green, m_colour.blue};
    for (int c = Red; c <= Blue; ++c)
        m_values[c]->setText(valueText(values[c]));
    m_swatch->setColour(toQColor(screenColour(m_colour)));
}

bool PaletteDialog::ask(QWidget *parent, PaletteColour &colour)
{
    PaletteDialog dialog(colour, parent);
    if (const std::optional<QueuedAnswer> answer = g_answers.take()) {
        if (answer->colour) {
            dialog.m_bars[Red]->setValue(answer->colour->red);
            dialog.m_bars[Green]->setValue(answer->colour->green);
            dialog.m_bars[Blue]->setValue(answer->colour->blue);
        }
        return answer->accepted;
    }
    return dialog.exec() == QDialog::Accepted;
}

void PaletteDialog::setNextAnswer(bool accepted, std::optional<PaletteColour> colour)
{
    g_answers.push({accepted, colour});
}

void PaletteDialog::clearAnswers()
{
    g_answers.clear();
}

} // namespace velkan
