#include "aids/ScriptCheckPanel.h"

#include "document/ScriptReading.h"
#include "form/ScriptListView.h"
#include "form/VelkanView.h"
#include "platform/HelpWindow.h"

#include <QAbstractTableModel>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace velkan {

class FindingsModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    void setFindings(std::vector<Finding> findings)
    {
        beginResetModel();
        m_findings = std::move(findings);
        endResetModel();
    }
    const std::vector<Finding> &findings() const { return m_findings; }

    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_findings.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 3;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
            return {};
        const Finding &f = m_findings[static_cast<std::size_t>(index.row())];
        if (role == Qt::ToolTipRole)
            return QString::fromStdString(f.message);
        switch (index.column()) {
        case 0:
            return static_cast<qulonglong>(f.line + 1);
        case 1:
            return QString::fromStdString(f.code);
        default:
            return QString::fromStdString(f.message);
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return {};
        static const QString names[] = {QStringLiteral("行"), QStringLiteral("コード"),
                                        QStringLiteral("内容")};
        return section >= 0 && section < 3 ? names[section] : QString();
    }

private:
    std::vector<Finding> m_findings;
};

ScriptCheckPanel::ScriptCheckPanel(VelkanView &view, ScriptReading &reading, QWidget *parent)
    : QDockWidget(QStringLiteral("スクリプトの検査"), parent), m_view(view), m_reading(reading)
{
    setObjectName(QStringLiteral("scriptCheckPanel"));
    HelpWindow::addHelpKey(this, QStringLiteral("script-check"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    auto *body = new QWidget(this);
    m_model = new FindingsModel(this);
    m_table = new QTableView(body);
    m_table->setObjectName(QStringLiteral("findings"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 4);
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setMinimumWidth(360);

    m_summary = new QLabel(body);
    m_summary->setObjectName(QStringLiteral("checkSummary"));
    m_auto = new QCheckBox(QStringLiteral("編集のたびに検査する(&A)"), body);
    m_auto->setObjectName(QStringLiteral("checkAfterEdits"));
    m_auto->setChecked(true);
    m_again = new QPushButton(QStringLiteral("再検査(&R)"), body);
    m_again->setObjectName(QStringLiteral("checkAgain"));

    auto *controls = new QHBoxLayout;
    controls->addWidget(m_auto);
    controls->addStretch(1);
    controls->addWidget(m_again);
    auto *layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_summary);
    layout->addWidget(m_table, 1);
    layout->addLayout(controls);
    setWidget(body);

    connect(m_again, &QPushButton::clicked, this, &ScriptCheckPanel::check);
    connect(m_auto, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            check();
    });
    connect(m_table, &QTableView::doubleClicked, this,
            [this](const QModelIndex &index) { selectFinding(index.row()); });
    connect(m_table, &QTableView::activated, this,
            [this](const QModelIndex &index) { selectFinding(index.row()); });
    connect(&m_reading, &ScriptReading::updated, this, [this] {
        if (m_asked || m_auto->isChecked())
            take();
    });
}

ScriptCheckPanel::~ScriptCheckPanel()
{
    if (m_wanted)
        m_reading.unwant();
}

const std::vector<Finding> &ScriptCheckPanel::findings() const
{
    return m_model->findings();
}

void ScriptCheckPanel::check()
{
    show();
    raise();
    m_asked = true;
    m_summary->setText(QStringLiteral("検査中…"));
    m_reading.refresh();
}

void ScriptCheckPanel::showEvent(QShowEvent *event)
{
    QDockWidget::showEvent(event);
    if (!m_wanted) {
        m_wanted = true;
        m_reading.want();
    }
}

void ScriptCheckPanel::hideEvent(QHideEvent *event)
{
    QDockWidget::hideEvent(event);
    if (m_wanted) {
        m_wanted = false;
        m_reading.unwant();
    }
}

void ScriptCheckPanel::take()
{
    const std::shared_ptr<const ScriptReadingResult> result = m_reading.latest();
    if (!result)
        return;
    m_asked = false;
    m_model->setFindings(result->findings);
    const std::size_t n = result->findings.size();
    m_summary->setText(n == 0 ? QStringLiteral("指摘はありません")
                              : QStringLiteral("指摘 %1 件").arg(static_cast<qulonglong>(n)));
}

void ScriptCheckPanel::selectFinding(int row)
{
    const std::vector<Finding> &f = m_model->findings();
    if (row < 0 || row >= static_cast<int>(f.size()))
        return;
    m_view.selectLine(static_cast<int>(f[static_cast<std::size_t>(row)].line));
    m_view.listView()->setFocus();
}

} // namespace velkan
