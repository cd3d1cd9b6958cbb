#pragma once

#include "Retranslating.h"

#include <QWidget>

class AppModel;
class QLabel;
class QProgressBar;
class QPushButton;
class QToolButton;

// The line above the panes: whether and where the program is connected, whether it is busy, and
// the commands of the connection.
class ConnectionBar : public Retranslating<QWidget> {
    Q_OBJECT

public:
    explicit ConnectionBar(AppModel& model, QWidget* parent = nullptr);

private:
    void showState();
    void retranslate() override;

    AppModel& m_model;
    QLabel* m_dot = nullptr;
    QLabel* m_state = nullptr;
    QLabel* m_preparing = nullptr;
    QProgressBar* m_comparing = nullptr;
    QProgressBar* m_working = nullptr;
    QToolButton* m_compare = nullptr;
    QToolButton* m_edits = nullptr;
    QToolButton* m_editConnection = nullptr;
    QPushButton* m_connect = nullptr;
    QPushButton* m_disconnect = nullptr;
};
