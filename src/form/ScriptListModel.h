#pragma once

#include "script/ScriptList.h"

#include <QAbstractListModel>

namespace velkan {

// Shows a ScriptList in a view. The lines stay bytes in the list; they are
// decoded only for display, and a very long line shows a prefix so painting
// never stalls.
class ScriptListModel : public QAbstractListModel, private ScriptListObserver {
    Q_OBJECT
public:
    static constexpr std::size_t kDisplayPrefixBytes = 2048;

    explicit ScriptListModel(const ScriptList *list, QObject *parent = nullptr);
    ~ScriptListModel() override;

    int rowCount(const QModelIndex &parent = {}) const override;
    // The view asks for an index of every row whenever it lays itself out;
    // this answers without the base class's round of virtual calls.
    QModelIndex index(int row, int column = 0, const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    const ScriptList *scriptList() const { return m_list; }

private:
    void aboutToInsert(int first, int count) override;
    void inserted(int first, int count) override;
    void aboutToRemove(int first, int count) override;
    void removed(int first, int count) override;
    void aboutToReset() override;
    void reset() override;
    void changed(int first, int last) override;

    const ScriptList *m_list;
};

} // namespace velkan
