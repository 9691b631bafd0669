#pragma once

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace velkan {

// 環境設定: playback speed, the unit taps are stamped to, the taps' delay, the
// run-up before a stamp run, the SoundFont and the audio output. Opens on
// what AppSettings holds; OK writes every field back, キャンセル writes nothing.
// The SoundFont and the output take effect with the next start of the program.
class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(QWidget *parent = nullptr);

    // Runs the dialog modally; true when closed with OK (the settings written).
    static bool edit(QWidget *parent);

    // Test seam: while answers are queued, edit() shows nothing; it builds the
    // dialog and ends as queued, OK writing what the dialog opened on.
    static void setNextAnswer(bool accepted);

    void accept() override;

private:
    void load();
    void save() const;
    void browseSoundFont();

    QSpinBox *m_speed = nullptr;
    QComboBox *m_grid = nullptr;
    QSpinBox *m_tapOffset = nullptr;
    QSpinBox *m_preRoll = nullptr;
    QLineEdit *m_soundFont = nullptr;
    QPushButton *m_browse = nullptr;
    QComboBox *m_driver = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace velkan
