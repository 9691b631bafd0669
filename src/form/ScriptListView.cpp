#include "form/ScriptListView.h"

#include <QAccessible>
#include <QKeyEvent>

namespace velkan {

ScriptListView::ScriptListView(QWidget *parent) : QListView(parent)
{
    // One line, or a run of lines with Shift (for re-tapping a range).
    setSelectionMode(QAbstractItemView::ContiguousSelection);
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
    // In a run of lines, the one the caret is on.
    const QModelIndex current = currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current))
        return current.row();
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

std::optional<std::pair<int, int>> ScriptListView::selectedRange() const
{
    if (!selectionModel())
        return std::nullopt;
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty())
        return std::nullopt;
    int first = rows.constFirst().row(), last = first;
    for (const QModelIndex &r : rows) {
        first = std::min(first, r.row());
        last = std::max(last, r.row());
    }
    return std::pair{first, last};
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
    emit keyPressed(event->key(), caret, event->timestamp(), &handled);
    if (handled) {
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void ScriptListView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    // Qt would move the current line, and with it the selection, to a
    // neighbour of a removed one: the next tap or edit would land there.
    const auto removed = [&](int row) { return row >= start && row <= end; };
    if (!parent.isValid() && selectionModel() &&
        (removed(selectedRow()) || removed(currentIndex().row())))
        selectionModel()->clear();
    QListView::rowsAboutToBeRemoved(parent, start, end);
}

void ScriptListView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                 const QList<int> &roles)
{
    // QListView lays out every row again after any change of data, which
    // on a long script costs milliseconds per overwritten line. Rows here are
    // uniform and take their size from the last row, so a change above it
    // moves nothing: repaint the changed rows only.
    if (model() && bottomRight.isValid() && bottomRight.row() < model()->rowCount() - 1) {
        // A range (a whole-script rewrite): the base class's work for it costs
        // tens of milliseconds on a long script; a repaint is all it needs,
        // unless a screen reader is told of each change.
        if (topLeft != bottomRight && !QAccessible::isActive()) {
            viewport()->update();
            return;
        }
        QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    QListView::dataChanged(topLeft, bottomRight, roles);
}

} // namespace velkan
