#pragma once

#include <QLineEdit>

// A pane's filter: Escape empties it while it holds text, as a person typing a filter expects;
// an empty field leaves Escape to the window.
class FilterField : public QLineEdit {
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool clears(const QKeyEvent* event) const;
};
