#include "aids/TimingOffsetDialog.h"

#include "aids/core/TimingOffset.h"
#include "form/CommandIds.h"
#include "form/Playback.h"
#include "form/VelkanView.h"
#include "midi/BarMath.h"
#include "platform/DialogUnits.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/MessageBox.h"
#include "platform/TestAnswers.h"

#include <QAction>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace velkan {

namespace {

struct QueuedAnswer {
    bool accepted;
    int choice;
};
TestAnswers<QueuedAnswer> g_answers;

// Shifts the @WAIT lines of the script in place, as one step: lines keep
// their places, so the view keeps its selection. Returns how many were held
// at the song's start.
int shiftWaitLines(ScriptDocument &document, int steps, const BarMath &bars)
{
    int held = 0;
    const ScriptList &list = document.list();
    std::vector<std::pair<int, ScriptLine>> shiftedLines;
    for (int i = 0; i < list.count(); ++i) {
        bool lineHeld = false;
        auto shifted = shiftedWaitLine(list.at(i), steps, bars, &lineHeld);
        if (!shifted)
            continue;
        if (lineHeld)
            ++held;
        shiftedLines.emplace_back(i, std::move(*shifted));
    }
    document.replaceLines(std::move(shiftedLines), QStringLiteral("歌詞追い時間の調整"));
    return held;
}

} // namespace

TimingOffsetDialog::TimingOffsetDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("timingOffsetDialog"));
    setFont(Fonts::formFont());
    const DialogUnits du(font());
    setFixedSize(du.size(229, 107));
    setWindowTitle(QStringLiteral("歌詞追い時間ﾀﾞｲｱﾛｸﾞ"));
    HelpWindow::addHelpKey(this, QStringLiteral("timing-offset"));

    auto *first = new QLabel(
        QStringLiteral("歌詞追いで設定した@WAIT()の値に下記のオフセット値を加算します。"), this);
    first->setObjectName(QStringLiteral("introLine1"));
    first->setGeometry(du.rect(7, 7, 215, 9));
    auto *second = new QLabel(
        QStringLiteral("(-)値は@WAIT()の設定値より早くなり、(+)値は遅くなります。"), this);
    second->setObjectName(QStringLiteral("introLine2"));
    second->setGeometry(du.rect(7, 18, 215, 9));

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("offsetGroup"));
    frame->setGeometry(du.rect(7, 31, 150, 70));

    m_group = new QButtonGroup(this);
    m_group->setExclusive(true);
    for (const TimingOffsetChoice &c : timingOffsetChoices()) {
        auto *radio = new QRadioButton(
            QString::fromUtf8(c.label.data(), static_cast<qsizetype>(c.label.size())), this);
        radio->setObjectName(QStringLiteral("offset%1").arg(c.controlId));
        radio->setGeometry(du.rect(16, 37 + 10 * (c.choice - 1), 130, 10));
        m_group->addButton(radio, c.choice);
        m_radios[static_cast<std::size_t>(c.choice - 1)] = radio;
    }
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { m_choice = id; });

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setDefault(true);
    m_ok->setGeometry(du.rect(170, 37, 50, 14));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);

    m_cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setGeometry(du.rect(170, 55, 50, 14));
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    startOver();
}

QRadioButton *TimingOffsetDialog::radio(int choice) const
{
    if (choice < 1 || choice > static_cast<int>(m_radios.size()))
        return nullptr;
    return m_radios[static_cast<std::size_t>(choice - 1)];
}

void TimingOffsetDialog::showEvent(QShowEvent *event)
{
    // A choice is never carried from one opening to the next.
    if (!event->spontaneous())
        startOver();
    QDialog::showEvent(event);
}

void TimingOffsetDialog::startOver()
{
    m_radios[0]->setChecked(true);
    m_choice = 1;
}

std::optional<int> TimingOffsetDialog::ask(QWidget *parent)
{
    TimingOffsetDialog dialog(parent);
    if (const std::optional<QueuedAnswer> answer = g_answers.take()) {
        if (QRadioButton *r = dialog.radio(answer->choice))
            r->click();
        if (!answer->accepted)
            return std::nullopt;
        return dialog.choice();
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

void TimingOffsetDialog::setNextAnswer(bool accepted, int choice)
{
    g_answers.push({accepted, choice});
}

void TimingOffsetDialog::clearAnswers()
{
    g_answers.clear();
}

void installTimingOffsetCommand(VelkanView &view)
{
    QObject::connect(view.action(cmd::TimingOffset), &QAction::triggered, &view, [&view] {
        const std::optional<int> choice = TimingOffsetDialog::ask(&view);
        if (!choice)
            return;
        const BarMath bars(view.playback()->timeline());
        const int held = shiftWaitLines(view.document(), timingOffsetSteps(*choice), bars);
        if (held > 0)
            MessageBox::show(
                &view, QStringLiteral("%1 行は曲の先頭より前になるため @WAIT(1,0); にしました。")
                           .arg(held));
    });
}

} // namespace velkan
