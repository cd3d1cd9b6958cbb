#pragma once

#include "Retranslating.h"

#include <QWidget>

class AppModel;
class QLabel;
class QPushButton;

// What the server pane shows while no server is connected: a way to connect the profile selected
// in the sidebar, when there is one, and to add a new one.
class DisconnectedPage : public Retranslating<QWidget> {
    Q_OBJECT

public:
    explicit DisconnectedPage(AppModel& model, QWidget* parent = nullptr);

private:
    void showState();
    void retranslate() override;

    AppModel& m_model;
    QLabel* m_hint = nullptr;
    QPushButton* m_connect = nullptr;
    QPushButton* m_add = nullptr;
};
