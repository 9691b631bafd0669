#include "form/ScriptListModel.h"

#include "platform/ShiftJisCodec.h"

namespace velkan {

ScriptListModel::ScriptListModel(const ScriptList *list, QObject *parent)
    : QAbstractListModel(parent), m_list(list)
{
    m_list->addObserver(this);
}

ScriptListModel::~ScriptListModel()
{
    m_list->removeObserver(this);
}

int ScriptListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list->count();
}

QModelIndex ScriptListModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || parent.isValid() || !m_list->isValidIndex(row))
        return {};
    return createIndex(row, 0);
}

QVariant ScriptListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_list->isValidIndex(index.row()))
        return {};
    if (role != Qt::DisplayRole)
        return {};
    const std::string_view line = m_list->at(index.row());
    if (line.size() <= kDisplayPrefixBytes)
        return ShiftJis::decode(line);
    return ShiftJis::decodePrefix(line, kDisplayPrefixBytes) + QStringLiteral("…");
}

void ScriptListModel::aboutToInsert(int first, int count)
{
    beginInsertRows({}, first, first + count - 1);
}

void ScriptListModel::inserted(int, int)
{
    endInsertRows();
}

void ScriptListModel::aboutToRemove(int first, int count)
{
    beginRemoveRows({}, first, first + count - 1);
}

void ScriptListModel::removed(int, int)
{
    endRemoveRows();
}

void ScriptListModel::aboutToReset()
{
    beginResetModel();
}

void ScriptListModel::reset()
{
    endResetModel();
}

void ScriptListModel::changed(int first, int last)
{
    emit dataChanged(index(first), index(last), {Qt::DisplayRole});
}

} // namespace velkan
