#include "platform/FileDialog.h"

#include <QFileDialog>
#include <deque>

namespace velkan {
namespace {
bool g_testMode = false;
std::deque<QString> g_names;
QStringList g_lastFilters;

QString run(QWidget *parent, const QStringList &filters, QFileDialog::AcceptMode mode)
{
    g_lastFilters = filters;
    if (g_testMode) {
        if (g_names.empty())
            return {};
        QString name = g_names.front();
        g_names.pop_front();
        return name;
    }
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                      : QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
} // namespace

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
    g_names.push_back(name);
}

QStringList FileDialog::lastFilters()
{
    return g_lastFilters;
}

} // namespace velkan
