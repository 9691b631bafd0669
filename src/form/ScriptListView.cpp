#include "form/ScriptListView.h"

#include <QKeyEvent>

namespace velkan {

ScriptListView::ScriptListView(QWidget *parent) : QListView(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
}

int ScriptListView::selectedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void ScriptListView::selectRow(int row)
{
    if (!model() || !selectionModel())
        return;
    const QModelIndex index = model()->index(row, 0);
    if (!index.isValid()) {
        selectionModel()->clear();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void ScriptListView::keyPressEvent(QKeyEvent *event)
{
    bool handled = false;
    const int caret = currentIndex().isValid() ? currentIndex().row() : selectedRow();
    emit keyPressed(event->key(), caret, &handled);
    if (handled) {
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace velkan
