#pragma once

#include "player/ScriptCheck.h"

#include <QDockWidget>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableView;

namespace velkan {

class ScriptReading;
class VelkanView;
class FindingsModel;

// "スクリプトの検査": what the player will do otherwise than the script
// seems to say, line by line, beside the list. A double-click on a finding
// selects its line. It checks when asked, and after every edit while its
// check box is on.
class ScriptCheckPanel : public QDockWidget {
    Q_OBJECT
public:
    ScriptCheckPanel(VelkanView &view, ScriptReading &reading, QWidget *parent = nullptr);
    ~ScriptCheckPanel() override;

    // Shows the panel and checks the script as it is now.
    void check();

    QTableView *table() const { return m_table; }
    QCheckBox *autoBox() const { return m_auto; }
    QLabel *summary() const { return m_summary; }
    const std::vector<Finding> &findings() const;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void take();
    void selectFinding(int row);

    VelkanView &m_view;
    ScriptReading &m_reading;
    FindingsModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QCheckBox *m_auto = nullptr;
    QPushButton *m_again = nullptr;
    QLabel *m_summary = nullptr;
    bool m_asked = false; // a check the author asked for is on its way
    bool m_wanted = false;
};

} // namespace velkan
