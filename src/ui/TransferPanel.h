#pragma once

#include "Retranslating.h"

#include <QWidget>

class ActivityList;
class AppModel;
class QLabel;
class QListView;
class QPushButton;
class QStackedWidget;
class QTabWidget;
class QToolButton;

// The panel below the panes: the transfer queue with its commands, and the activity log.
class TransferPanel : public Retranslating<QWidget> {
    Q_OBJECT

public:
    explicit TransferPanel(AppModel& model, QWidget* parent = nullptr);

    QListView* transfers() const { return m_transfers; }

private:
    QWidget* makeTransfersPage();
    QWidget* makeToolbar();
    void togglePause();
    void retrySelected();
    void cancelSelected();
    void updateCommands();
    void updateTimeLeft();
    void retranslate() override;

    AppModel& m_model;
    QTabWidget* m_tabs = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_cancelAll = nullptr;
    QPushButton* m_clearList = nullptr;
    QPushButton* m_retryFailed = nullptr;
    QLabel* m_timeLeft = nullptr;
    QToolButton* m_retry = nullptr;
    QToolButton* m_cancel = nullptr;
    QStackedWidget* m_pages = nullptr;
    QListView* m_transfers = nullptr;
    QLabel* m_ready = nullptr;
    QLabel* m_hint = nullptr;
    ActivityList* m_activity = nullptr;
};
