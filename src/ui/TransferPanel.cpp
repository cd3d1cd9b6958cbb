#include "TransferPanel.h"

#include "ActivityList.h"
#include "AppModel.h"
#include "DisplayText.h"
#include "Icons.h"
#include "L10n.h"
#include "TransferListModel.h"
#include "TransferRowDelegate.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

TransferPanel::TransferPanel(AppModel& model, QWidget* parent) : Retranslating(parent), m_model(model)
{
    m_tabs = new QTabWidget;
    m_tabs->setDocumentMode(true);
    m_tabs->addTab(makeTransfersPage(), QString());
    m_activity = new ActivityList(m_model.activityLog());
    m_tabs->addTab(m_activity, QString());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);

    TransferListModel* list = m_model.transferList();
    connect(list, &QAbstractItemModel::rowsInserted, this, &TransferPanel::updateCommands);
    connect(list, &QAbstractItemModel::modelReset, this, &TransferPanel::updateCommands);
    connect(list, &QAbstractItemModel::dataChanged, this, &TransferPanel::updateCommands);
    for (auto change : {&AppModel::queuePausedChanged, &AppModel::planningChanged, &AppModel::connectedProfileChanged})
        connect(&m_model, change, this, &TransferPanel::updateCommands);
    connect(&m_model, &AppModel::pendingCountChanged, this, &TransferPanel::retranslate);
    connect(&m_model, &AppModel::queueTimeLeftChanged, this, &TransferPanel::updateTimeLeft);
    connect(m_transfers->selectionModel(), &QItemSelectionModel::currentChanged, this, &TransferPanel::updateCommands);
    retranslate();
}

QWidget* TransferPanel::makeTransfersPage()
{
    auto* page = new QWidget;
    m_transfers = new QListView;
    m_transfers->setModel(m_model.transferList());
    auto* rows = new TransferRowDelegate(m_transfers);
    m_transfers->setItemDelegate(rows);
    // Rows of one height: a long queue is laid out without measuring each row.
    m_transfers->setUniformItemSizes(true);
    m_transfers->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(rows, &TransferRowDelegate::retryRequested, &m_model, &AppModel::retry);
    connect(rows, &TransferRowDelegate::cancelRequested, &m_model, &AppModel::cancel);
    auto* cancelKey = new QAction(m_transfers);
    cancelKey->setShortcut(QKeySequence::Delete);
    cancelKey->setShortcutContext(Qt::WidgetShortcut);
    connect(cancelKey, &QAction::triggered, this, &TransferPanel::cancelSelected);
    m_transfers->addAction(cancelKey);

    auto* empty = new QWidget;
    auto* icon = new QLabel;
    icon->setPixmap(Icons::icon(u"arrow.left.arrow.right.circle"_s).pixmap(36));
    m_ready = DisplayText::emphasised(new QLabel);
    m_hint = new QLabel;
    m_hint->setForegroundRole(QPalette::PlaceholderText);
    auto* emptyLayout = new QVBoxLayout(empty);
    emptyLayout->addStretch();
    for (QLabel* label : {icon, m_ready, m_hint}) {
        label->setAlignment(Qt::AlignCenter);
        emptyLayout->addWidget(label);
    }
    emptyLayout->addStretch();

    m_pages = new QStackedWidget;
    m_pages->addWidget(m_transfers);
    m_pages->addWidget(empty);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(makeToolbar());
    layout->addWidget(m_pages, 1);
    return page;
}

QWidget* TransferPanel::makeToolbar()
{
    auto* toolbar = new QWidget;
    m_pause = new QPushButton;
    connect(m_pause, &QPushButton::clicked, this, &TransferPanel::togglePause);
    m_cancelAll = new QPushButton;
    connect(m_cancelAll, &QPushButton::clicked, &m_model, &AppModel::cancelAll);
    m_clearList = new QPushButton;
    connect(m_clearList, &QPushButton::clicked, &m_model, &AppModel::clearFinished);
    m_retryFailed = new QPushButton;
    connect(m_retryFailed, &QPushButton::clicked, &m_model, &AppModel::retryAllFailed);
    m_timeLeft = new QLabel;
    m_timeLeft->setForegroundRole(QPalette::PlaceholderText);
    m_retry = new QToolButton;
    m_retry->setIcon(Icons::icon(u"arrow.clockwise"_s));
    m_retry->setAutoRaise(true);
    connect(m_retry, &QToolButton::clicked, this, &TransferPanel::retrySelected);
    m_cancel = new QToolButton;
    m_cancel->setIcon(Icons::icon(u"xmark.circle"_s));
    m_cancel->setAutoRaise(true);
    connect(m_cancel, &QToolButton::clicked, this, &TransferPanel::cancelSelected);
    auto* layout = new QHBoxLayout(toolbar);
    layout->setContentsMargins(4, 0, 4, 0);
    for (QPushButton* button : {m_pause, m_cancelAll, m_clearList, m_retryFailed})
        layout->addWidget(button);
    layout->addStretch();
    layout->addWidget(m_timeLeft);
    layout->addWidget(m_retry);
    layout->addWidget(m_cancel);
    return toolbar;
}

void TransferPanel::togglePause()
{
    const bool resuming = m_model.queuePaused();
    m_model.setQueuePaused(!resuming);
    if (resuming)
        m_model.runNext();
}

void TransferPanel::retrySelected()
{
    const QModelIndex current = m_transfers->currentIndex();
    if (TransferRowDelegate::canRetry(current))
        m_model.retry(current.data(TransferListModel::IdRole).toUuid());
}

void TransferPanel::cancelSelected()
{
    const QModelIndex current = m_transfers->currentIndex();
    if (TransferRowDelegate::canCancel(current))
        m_model.cancel(current.data(TransferListModel::IdRole).toUuid());
}

void TransferPanel::updateCommands()
{
    const bool empty = m_model.transferList()->rowCount() == 0;
    m_pages->setCurrentIndex(empty ? 1 : 0);
    m_pause->setText(m_model.queuePaused() ? L("resume_queue") : L("pause_queue"));
    m_cancelAll->setEnabled(m_model.pendingCount() > 0 || m_model.planning());
    m_clearList->setEnabled(m_model.transferList()->rowCount() > m_model.pendingCount());
    m_retryFailed->setEnabled(m_model.canRetryAllFailed());
    const QModelIndex current = m_transfers->currentIndex();
    m_retry->setEnabled(TransferRowDelegate::canRetry(current));
    m_cancel->setEnabled(TransferRowDelegate::canCancel(current));
}

void TransferPanel::updateTimeLeft()
{
    const std::optional<double> seconds = m_model.pendingCount() > 0 ? m_model.queueSecondsLeft() : std::nullopt;
    m_timeLeft->setText(seconds ? L("queue_time_left", TransferListModel::duration(*seconds)) : QString());
}

void TransferPanel::retranslate()
{
    const int pending = m_model.pendingCount();
    m_tabs->setTabText(0, pending > 0 ? L("transfers") + u" ("_s + L10n::locale().toString(pending) + u')'
                                      : L("transfers"));
    m_tabs->setTabText(1, L("activity"));
    m_pause->setToolTip(L("pause_hint"));
    m_cancelAll->setText(L("cancel_all"));
    m_clearList->setText(L("clear_list"));
    m_retryFailed->setText(L("retry_failed"));
    DisplayText::setIconButtonText(m_retry, L("retry_transfer"));
    DisplayText::setIconButtonText(m_cancel, L("cancel_transfer"));
    m_transfers->setAccessibleName(L("transfers"));
    m_activity->setAccessibleName(L("activity"));
    m_ready->setText(L("ready_transfer"));
    m_hint->setText(L("transfer_hint"));
    updateCommands();
    updateTimeLeft();
    m_transfers->viewport()->update();
    m_activity->viewport()->update();
}
