#pragma once

#include "Retranslating.h"

#include <QStatusBar>

class AppModel;
class QLabel;

// The window's status bar: connected or not, and how many transfers are done and queued.
class StatusLine : public Retranslating<QStatusBar> {
    Q_OBJECT

public:
    explicit StatusLine(AppModel& model, QWidget* parent = nullptr);

private:
    void retranslate() override;

    AppModel& m_model;
    QLabel* m_icon = nullptr;
    QLabel* m_connection = nullptr;
    QLabel* m_completed = nullptr;
    QLabel* m_queued = nullptr;
};
