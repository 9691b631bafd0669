#pragma once

#include <QListView>
#include <optional>
#include <utility>

namespace velkan {

// The script list control: single selection, uniform rows, and every key
// press reported to the form (lyric follow listens for the space bar).
// Whoever removes lines, a selected line that moves stays selected and a
// removed selected line leaves no line selected.
class ScriptListView : public QListView {
    Q_OBJECT
public:
    explicit ScriptListView(QWidget *parent = nullptr);

    int selectedRow() const;
    // The first and last selected rows; nothing when none is selected.
    std::optional<std::pair<int, int>> selectedRange() const;
    // Selects row and scrolls to it; a row that holds no line leaves nothing selected.
    void selectRow(int row);

signals:
    // Sent before the list handles the key, with the window system's stamp of
    // the press (milliseconds, 0 when it gave none). Set *handled to keep the
    // list's own handling from running.
    void keyPressed(int key, int caretRow, quint64 timestampMs, bool *handled);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles = QList<int>()) override;
};

} // namespace velkan
