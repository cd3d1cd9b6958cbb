#pragma once

#include <QPersistentModelIndex>
#include <QTableView>
#include <functional>
#include <optional>

class QMimeData;

// The table of one pane: rows of the pane's visible entries with several selectable, sortable by
// every column, "no_files" written across it when empty. Its selected rows can be dragged, and
// it can take drops, as its pane says.
class FileTableView : public QTableView {
    Q_OBJECT

public:
    // What a drop would do: `perform` does it and tells whether it was taken; `into` is the
    // folder row it goes into, none for the folder shown.
    struct Drop {
        std::function<bool()> perform;
        QPersistentModelIndex into;
    };
    // What a drop of `data` over the row `under` (none over empty space) would do; none refuses it.
    using DropRule = std::function<std::optional<Drop>(const QMimeData* data, const QModelIndex& under)>;

    explicit FileTableView(QWidget* parent = nullptr);

    void acceptDrops(DropRule rule);
    // The selected rows start a drag carrying what `make` gives.
    void dragRows(std::function<QMimeData*()> make);
    // What a drag of the selected rows carries now, owned by the caller; none when nothing
    // would be dragged.
    QMimeData* mimeData() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    // Accepts or refuses a drag at its position and shows where it would land.
    // What the rule makes of a drop at the event's point; none when it refuses.
    std::optional<Drop> dropAt(const QDropEvent* event) const;
    void follow(QDropEvent* event);
    void showDropTarget(const std::optional<Drop>& drop);

    DropRule m_dropRule;
    std::function<QMimeData*()> m_dragData;
    // Where a drag over the table would land: the folder shown (an invalid row) or a folder row.
    std::optional<QPersistentModelIndex> m_dropTarget;
};
