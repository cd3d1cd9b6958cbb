#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <initializer_list>

// Turns the Unix signals it is given into a Qt signal on the main event loop, where the work they
// ask for may safely be done. One per process.
class UnixSignalNotifier : public QObject {
    Q_OBJECT
public:
    explicit UnixSignalNotifier(std::initializer_list<int> numbers, QObject* parent = nullptr);

Q_SIGNALS:
    void received(int number);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
