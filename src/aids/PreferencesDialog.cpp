#include "aids/PreferencesDialog.h"

#include "platform/AppSettings.h"
#include "platform/FileDialog.h"
#include "platform/FluidSynthSequencer.h"
#include "platform/Fonts.h"
#include "platform/HelpWindow.h"
#include "platform/TestAnswers.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace velkan {

namespace {

TestAnswers<bool> g_answers;

QSpinBox *spinBox(QWidget *parent, const char *name, int low, int high, const QString &suffix)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setSuffix(suffix);
    box->setAlignment(Qt::AlignRight);
    return box;
}

} // namespace

PreferencesDialog::PreferencesDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("preferencesDialog"));
    setFont(Fonts::formFont());
    setWindowTitle(QStringLiteral("環境設定"));
    HelpWindow::addHelpKey(this, QStringLiteral("preferences"));

    m_speed = spinBox(this, "speedBox", AppSettings::minSpeedPercent, AppSettings::maxSpeedPercent,
                      QStringLiteral(" %"));
    m_speed->setSingleStep(AppSettings::speedPercentStep);

    m_grid = new QComboBox(this);
    m_grid->setObjectName(QStringLiteral("gridBox"));
    m_grid->addItem(QStringLiteral("4分音符"), AppSettings::gridName(StampGrid::Quarter));
    m_grid->addItem(QStringLiteral("8分音符"), AppSettings::gridName(StampGrid::Eighth));
    m_grid->addItem(QStringLiteral("16分音符"), AppSettings::gridName(StampGrid::Sixteenth));
    m_grid->addItem(QStringLiteral("ステップ (1/48)"), AppSettings::gridName(StampGrid::Step));

    m_tapOffset = spinBox(this, "tapOffsetBox", AppSettings::minTapOffsetMs,
                          AppSettings::maxTapOffsetMs, QStringLiteral(" ms"));
    m_preRoll =
        spinBox(this, "preRollBox", 0, AppSettings::maxPreRollBars, QStringLiteral(" 小節"));

    m_soundFont = new QLineEdit(this);
    m_soundFont->setObjectName(QStringLiteral("soundFontEdit"));
    m_soundFont->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
    m_browse = new QPushButton(QStringLiteral("参照(&B)..."), this);
    m_browse->setObjectName(QStringLiteral("soundFontBrowse"));
    m_browse->setAutoDefault(false);
    connect(m_browse, &QPushButton::clicked, this, &PreferencesDialog::browseSoundFont);
    auto *soundFontRow = new QHBoxLayout;
    soundFontRow->addWidget(m_soundFont, 1);
    soundFontRow->addWidget(m_browse);

    m_driver = new QComboBox(this);
    m_driver->setObjectName(QStringLiteral("audioDriverBox"));
    m_driver->addItem(QStringLiteral("自動"), QString());
    for (const std::string &driver : FluidSynthSequencer::audioDrivers())
        m_driver->addItem(QString::fromStdString(driver), QString::fromStdString(driver));

    auto *form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    const auto row = [&](const QString &label, QWidget *field) {
        auto *l = new QLabel(label, this);
        l->setBuddy(field);
        form->addRow(l, field);
    };
    row(QStringLiteral("再生速度(&P):"), m_speed);
    row(QStringLiteral("刻みの単位(&G):"), m_grid);
    row(QStringLiteral("タップ遅れ(&T):"), m_tapOffset);
    row(QStringLiteral("助走(&R):"), m_preRoll);
    auto *soundFontLabel = new QLabel(QStringLiteral("&SoundFont:"), this);
    soundFontLabel->setBuddy(m_soundFont);
    form->addRow(soundFontLabel, soundFontRow);
    row(QStringLiteral("オーディオ出力(&A):"), m_driver);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    m_buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    m_buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(fontMetrics().height() / 2);
    layout->addWidget(m_buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    load();
}

void PreferencesDialog::load()
{
    const AppSettings settings;
    m_speed->setValue(settings.speedPercent());
    m_grid->setCurrentIndex(
        std::max(0, m_grid->findData(AppSettings::gridName(settings.stampGrid()))));
    m_tapOffset->setValue(settings.tapOffsetMs());
    m_preRoll->setValue(settings.preRollBars());
    m_soundFont->setText(settings.soundFont());
    // An output this FluidSynth does not offer is kept as chosen.
    const QString driver = settings.audioDriver();
    if (m_driver->findData(driver) < 0)
        m_driver->addItem(driver, driver);
    m_driver->setCurrentIndex(m_driver->findData(driver));
}

void PreferencesDialog::save() const
{
    AppSettings settings;
    settings.setSpeedPercent(m_speed->value());
    settings.setStampGrid(
        AppSettings::gridOfName(m_grid->currentData().toString()).value_or(StampGrid::Quarter));
    // An offset never given stays so while the box is left at 0: taps are
    // then read as they come, with no output delay taken off either.
    if (settings.hasTapOffset() || m_tapOffset->value() != 0)
        settings.setTapOffsetMs(m_tapOffset->value());
    settings.setPreRollBars(m_preRoll->value());
    settings.setSoundFont(m_soundFont->text().trimmed());
    settings.setAudioDriver(m_driver->currentData().toString());
    settings.sync();
}

void PreferencesDialog::accept()
{
    save();
    QDialog::accept();
}

void PreferencesDialog::browseSoundFont()
{
    const QString path =
        FileDialog::getOpenFileName(this, {QStringLiteral("SoundFont (*.sf2 *.sf3)")});
    if (!path.isEmpty())
        m_soundFont->setText(path);
}

bool PreferencesDialog::edit(QWidget *parent)
{
    PreferencesDialog dialog(parent);
    if (const std::optional<bool> answer = g_answers.take()) {
        if (*answer)
            dialog.accept();
        return *answer;
    }
    return dialog.exec() == QDialog::Accepted;
}

void PreferencesDialog::setNextAnswer(bool accepted)
{
    g_answers.push(accepted);
}

} // namespace velkan
