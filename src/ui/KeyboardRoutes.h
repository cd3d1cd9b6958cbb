#pragma once

#include <QObject>

// Keeps the keyboard where a person working without a pointer expects it, whatever the window
// system does: Return presses the focused button of a window that has no default button of its own
// (dialogs keep theirs), and a closing dialog hands the keyboard back to the window it was over,
// which a session with no window manager would otherwise leave without any.
class KeyboardRoutes : public QObject {
    Q_OBJECT

public:
    // Routes the keys of every window of the application while it lives.
    explicit KeyboardRoutes(QObject* parent = nullptr);
    ~KeyboardRoutes() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
