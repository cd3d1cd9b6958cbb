#pragma once

#include <QStringList>
#include <QTableView>
#include <functional>

// The table of one pane: rows of the pane's visible entries with several selectable, sortable by
// every column, "no_files" written across it when empty. The remote pane's table takes files
// dragged from the file manager.
class FileTableView : public QTableView {
    Q_OBJECT

public:
    explicit FileTableView(QWidget* parent = nullptr);

    // Files dropped on the table go to `accept`, which tells whether it took them; none refuses
    // every drop.
    void acceptDrops(std::function<bool(const QStringList& paths)> accept);
    // A drag of files is over the table (shown with a tinted outline).
    bool dropTargeted() const { return m_dropTargeted; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void setDropTargeted(bool targeted);

    std::function<bool(const QStringList&)> m_accept;
    bool m_dropTargeted = false;
};
