#pragma once

#include "AppModel.h"

#include <QObject>
#include <QPointer>

// Decides whether the program may quit. With transfers pending, a request being planned or an
// edit's changes being uploaded, the model asks the person first; quitting then saves the queue as
// it stands, so that it comes back at the next start, and ends every connection.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);

    // The model to protect, from when the main window is first shown.
    void setModel(AppModel* model) { m_model = model; }

    // The quit command and closing the main window: quits at once when nothing is pending,
    // otherwise after the person confirms (AppModel::confirmStop). A refusal changes nothing.
    void requestQuit();
    // A quit the person cannot be asked about (the system ending the session): the same shut-down
    // sequence without a question.
    void quitNow();

Q_SIGNALS:
    // Everything is shut down; the event loop is told to end.
    void quitting();

private:
    QPointer<AppModel> m_model;
    bool m_asking = false;
};
