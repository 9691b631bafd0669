#include "platform/FileDialog.h"

#include "platform/TestAnswers.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QRegularExpression>

namespace velkan {
namespace {
bool g_testMode = false;
QStringList g_lastFilters;
TestAnswers<QString> g_names([] {
    g_testMode = false;
    g_lastFilters.clear();
});

QString run(QWidget *parent, const QStringList &filters, QFileDialog::AcceptMode mode)
{
    g_lastFilters = filters;
    if (g_testMode)
        return g_names.take().value_or(QString());
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    FileDialog::configure(dialog, filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

QStringList FileDialog::patternsOf(const QString &filter)
{
    static const QRegularExpression inParens(QStringLiteral("\\(([^()]*)\\)\\s*$"));
    const QRegularExpressionMatch m = inParens.match(filter);
    QStringList patterns;
    const QString list = m.hasMatch() ? m.captured(1) : filter;
    for (QString p :
         list.split(QRegularExpression(QStringLiteral("[;\\s]+")), Qt::SkipEmptyParts)) {
        if (p == QStringLiteral("*.*"))
            p = QStringLiteral("*");
        patterns << p;
    }
    return patterns;
}

void FileDialog::configure(QFileDialog &dialog, const QStringList &filters)
{
    // Qt's own dialog everywhere, so the filters read exactly as written and
    // the patterns below apply.
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setNameFilters(filters);
    // Qt takes "(*.TXT;*.WRD)" as one pattern and "*.*" as names with a dot:
    // give the file list the patterns the filter texts mean, case-insensitively.
    auto *model = dialog.findChild<QFileSystemModel *>();
    if (!model)
        return;
    auto apply = [model](const QString &filter) { model->setNameFilters(patternsOf(filter)); };
    QObject::connect(&dialog, &QFileDialog::filterSelected, model, apply);
    if (!filters.isEmpty())
        apply(dialog.selectedNameFilter());
}

QString FileDialog::getOpenFileName(QWidget *parent, const QStringList &filters)
{
    return run(parent, filters, QFileDialog::AcceptOpen);
}

QString FileDialog::getSaveFileName(QWidget *parent, const QStringList &filters)
{
    return run(parent, filters, QFileDialog::AcceptSave);
}

void FileDialog::setTestMode(bool on)
{
    g_testMode = on;
    g_names.clear();
}

void FileDialog::setNextFileName(const QString &name)
{
    g_names.push(name);
}

QStringList FileDialog::lastFilters()
{
    return g_lastFilters;
}

} // namespace velkan
