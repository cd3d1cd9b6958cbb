#pragma once

#include "Retranslating.h"

#include <QPointer>
#include <QWidget>

class AppModel;
class Prompter;
class ComparisonView;
class ConnectionBar;
class ConnectionEditor;
class RemoteEditsView;
class FilePaneView;
class QBoxLayout;
class ResizeHandle;
class Sidebar;
class TransferPanel;

// The workspace: the sidebar, the connection bar, this computer's pane on the left and the
// server's on the right (in every language), the transfer panel below them. The sidebar's width
// and the panel's height are the person's, within what the window leaves for them. It also shows
// what the model asks to be shown: the connection editor, the comparison, the remote edits and the
// alert of a failure.
class ContentView : public Retranslating<QWidget> {
    Q_OBJECT

public:
    ContentView(AppModel& model, Prompter& prompter, QWidget* parent = nullptr);

    Sidebar* sidebar() const { return m_sidebar; }
    FilePaneView* localPane() const { return m_localPane; }
    FilePaneView* remotePane() const { return m_remotePane; }
    TransferPanel* transferPanel() const { return m_transferPanel; }
    ResizeHandle* sidebarHandle() const { return m_sidebarHandle; }
    ResizeHandle* transferHandle() const { return m_transferHandle; }

Q_SIGNALS:
    void settingsRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showSizes();
    void keepPaneOrder();
    // Opens or closes a window the model asks for; closing it tells the model.
    template <typename Sheet, typename Make, typename Closed>
    void present(QPointer<Sheet>& sheet, bool shown, Make make, Closed closed);
    void showConnectionEditor();
    void showComparison();
    void showEdits();
    void showError();
    void retranslate() override;

    AppModel& m_model;
    Prompter& m_prompter;
    Sidebar* m_sidebar = nullptr;
    ResizeHandle* m_sidebarHandle = nullptr;
    ConnectionBar* m_connectionBar = nullptr;
    QBoxLayout* m_panes = nullptr;
    FilePaneView* m_localPane = nullptr;
    FilePaneView* m_remotePane = nullptr;
    ResizeHandle* m_transferHandle = nullptr;
    TransferPanel* m_transferPanel = nullptr;
    double m_sidebarWidth;
    double m_transferPanelHeight;
    QPointer<ConnectionEditor> m_editor;
    QPointer<ComparisonView> m_comparison;
    QPointer<RemoteEditsView> m_edits;
    bool m_showingError = false;
};
