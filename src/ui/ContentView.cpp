#include "ContentView.h"

#include "AppModel.h"
#include "ComparisonView.h"
#include "ConnectionBar.h"
#include "ConnectionEditor.h"
#include "DialogPlacement.h"
#include "DisconnectedPage.h"
#include "FileListModel.h"
#include "FilePaneView.h"
#include "L10n.h"
#include "PanelSizes.h"
#include "Prompter.h"
#include "RemoteEditsView.h"
#include "ResizeHandle.h"
#include "Sidebar.h"
#include "TransferPanel.h"

#include <QBoxLayout>
#include <QEvent>

ContentView::ContentView(AppModel& model, Prompter& prompter, QWidget* parent)
    : Retranslating(parent), m_model(model), m_prompter(prompter), m_sidebarWidth(PanelSizes::storedSidebarWidth()),
      m_transferPanelHeight(PanelSizes::storedTransferPanelHeight())
{
    m_sidebar = new Sidebar(m_model, m_prompter);
    connect(m_sidebar, &Sidebar::settingsRequested, this, &ContentView::settingsRequested);
    m_sidebarHandle = new ResizeHandle(Qt::Horizontal);
    m_connectionBar = new ConnectionBar(m_model);
    m_localPane = new FilePaneView(m_model.localPane(), m_model.remotePane(), FilePaneView::thisComputer);
    m_remotePane = new FilePaneView(m_model.remotePane(), m_model.localPane(), FilePaneView::server,
                                    new DisconnectedPage(m_model));
    m_transferHandle = new ResizeHandle(Qt::Vertical);
    m_transferPanel = new TransferPanel(m_model);

    m_panes = new QHBoxLayout;
    m_panes->setSpacing(8);
    m_panes->addWidget(m_localPane, 1);
    m_panes->addWidget(m_remotePane, 1);
    auto* work = new QVBoxLayout;
    work->setSpacing(0);
    work->addWidget(m_connectionBar);
    work->addLayout(m_panes, 1);
    work->addWidget(m_transferHandle);
    work->addWidget(m_transferPanel);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_sidebar);
    layout->addWidget(m_sidebarHandle);
    layout->addLayout(work, 1);

    connect(m_sidebarHandle, &ResizeHandle::resized, this, [this](int width) {
        m_sidebarWidth = width;
        PanelSizes::storeSidebarWidth(width);
        showSizes();
    });
    connect(m_transferHandle, &ResizeHandle::resized, this, [this](int height) {
        m_transferPanelHeight = height;
        PanelSizes::storeTransferPanelHeight(height);
        showSizes();
    });
    connect(&m_model, &AppModel::showConnectionEditorChanged, this, &ContentView::showConnectionEditor);
    connect(&m_model, &AppModel::showComparisonChanged, this, &ContentView::showComparison);
    connect(&m_model, &AppModel::showEditsChanged, this, &ContentView::showEdits);
    connect(&m_model, &AppModel::errorMessageChanged, this, &ContentView::showError);
    keepPaneOrder();
    showSizes();
    retranslate();
    showConnectionEditor();
    showComparison();
    showEdits();
    showError();
}

void ContentView::resizeEvent(QResizeEvent* event)
{
    Retranslating::resizeEvent(event);
    showSizes();
}

void ContentView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LayoutDirectionChange)
        keepPaneOrder();
    Retranslating::changeEvent(event);
}

// Within the window's bounds now, the stored sizes unchanged: a larger window gives them back.
void ContentView::showSizes()
{
    const QSize window = this->window()->size();
    const int width = PanelSizes::sidebarWidth(m_sidebarWidth, window.width());
    m_sidebar->setFixedWidth(width);
    m_sidebarHandle->showSize(width, PanelSizes::sidebarMinimum(), PanelSizes::sidebarMaximum(window.width()));
    const int height = PanelSizes::transferPanelHeight(m_transferPanelHeight, window.height());
    m_transferPanel->setFixedHeight(height);
    m_transferHandle->showSize(height, PanelSizes::transferPanelMinimum(),
                               PanelSizes::transferPanelMaximum(window.height()));
}

// This computer stays on the left and the server on the right when the rest of the window is
// mirrored: the pane order does not depend on the reading direction.
void ContentView::keepPaneOrder()
{
    m_panes->setDirection(isRightToLeft() ? QBoxLayout::RightToLeft : QBoxLayout::LeftToRight);
}

template <typename Sheet, typename Make, typename Closed>
void ContentView::present(QPointer<Sheet>& sheet, bool shown, Make make, Closed closed)
{
    if (!shown) {
        if (sheet)
            sheet->reject();
        return;
    }
    if (sheet)
        return;
    sheet = make();
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, closed);
    DialogPlacement::shared().registerDialog(sheet);
    sheet->open();
}

void ContentView::showConnectionEditor()
{
    present(
        m_editor, m_model.showConnectionEditor(),
        [this] {
            ConnectionEditor::Services services{
                [this](const ServerProfile& profile, const QString& password) {
                    return m_model.save(profile, password);
                },
                [this](const ServerProfile& profile, const QString& password) { m_model.connect(profile, password); },
                [this](const QUuid& id) { return m_model.storedPassword(id); }};
            auto* editor = new ConnectionEditor(m_model.editingProfile(), std::move(services), this);
            editor->setTransfersPending(m_model.pendingCount() > 0);
            editor->setNotice(m_model.connectionNotice());
            connect(&m_model, &AppModel::pendingCountChanged, editor,
                    [this, editor] { editor->setTransfersPending(m_model.pendingCount() > 0); });
            return editor;
        },
        [this] { m_model.setShowConnectionEditor(false); });
}

void ContentView::showComparison()
{
    present(
        m_comparison, m_model.showComparison(), [this] { return new ComparisonView(m_model, this); },
        [this] { m_model.setShowComparison(false); });
}

void ContentView::showEdits()
{
    present(
        m_edits, m_model.showEdits(), [this] { return new RemoteEditsView(m_model, this); },
        [this] { m_model.setShowEdits(false); });
}

// One alert at a time; a failure that arrives while one is open is shown after it.
void ContentView::showError()
{
    const QString message = m_model.errorMessage();
    if (message.isEmpty() || m_showingError)
        return;
    m_showingError = true;
    m_prompter.alert({PromptAlert::Style::warning, L("operation_failed"), message, {L("ok")}})
        .then(this, [this, message](int) {
            m_showingError = false;
            if (m_model.errorMessage() == message)
                m_model.setErrorMessage({});
            else
                showError();
        });
}

void ContentView::retranslate()
{
    m_sidebarHandle->setAccessibleName(L("resize_sidebar"));
    m_transferHandle->setAccessibleName(L("resize_transfers"));
    const QLocale locale = L10n::locale();
    m_model.localFileList()->setLocale(locale);
    m_model.remoteFileList()->setLocale(locale);
}
