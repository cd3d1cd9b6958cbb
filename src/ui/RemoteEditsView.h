#pragma once

#include "SheetWindow.h"

#include <QList>
#include <QUuid>

class AppModel;
class QLabel;
class QPushButton;
class QVBoxLayout;

// Every file open for remote editing, each with its way back to the editor, its upload (once the
// copy has changed), its place in the file manager and its removal from the list.
class RemoteEditsView : public SheetWindow {
    Q_OBJECT

public:
    explicit RemoteEditsView(AppModel& model, QWidget* parent = nullptr);

private:
    struct Row {
        QUuid id;
        QLabel* modified;
        QPushButton* edit;
        QPushButton* upload;
        QPushButton* show;
        QPushButton* forget;
    };

    void showRows();
    QWidget* makeRow(int row);
    void showStates();
    void retranslate() override;

    AppModel& m_model;
    QWidget* m_rowsArea = nullptr;
    QVBoxLayout* m_rowsLayout = nullptr;
    QLabel* m_empty = nullptr;
    QList<Row> m_rows;
};
