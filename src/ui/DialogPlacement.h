#pragma once

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

// Keeps every secondary window (alerts, choosers, sheets, settings) centred over the main window
// and inside the visible area of that window's screen. One per process; it keeps no window alive,
// so a closed dialog or workspace simply drops out.
class DialogPlacement : public QObject {
    Q_OBJECT

public:
    static DialogPlacement& shared();

    // Where a window of `size` goes: centred on `reference`, pushed inside `bounds`, and aligned
    // to the top-left corner of `bounds` when it is larger, so that its title bar stays reachable.
    static QPoint origin(const QRect& reference, const QRect& bounds, const QSize& size);

    // The main window, which every dialog is centred on.
    void setWorkspace(QWidget* window);
    QWidget* workspace() const { return m_workspace; }

    // Makes `window` a dialog and places it; the workspace itself is never a dialog.
    void registerDialog(QWidget* window);
    // Places a dialog now, with its final size.
    void center(QWidget* window);
    // Places it again once the events already queued (a layout pass, a resize) have run.
    void centerAfterLayout(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DialogPlacement(QObject* parent);
    // A registered dialog, or a window whose chain of parent windows reaches the workspace.
    bool qualifies(QWidget* window) const;

    QPointer<QWidget> m_workspace;
    QList<QPointer<QWidget>> m_dialogs;
    bool m_centering = false;
};
