#pragma once

#include <QEvent>

// How every window follows a language switch: LanguageSettings sends QEvent::LanguageChange to
// each window, a widget passes it on to its children, and a window built on this base then
// re-renders its texts through retranslate(), which its constructor also calls once.
template <typename Window> class Retranslating : public Window {
public:
    using Window::Window;

protected:
    virtual void retranslate() = 0;

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::LanguageChange)
            retranslate();
        Window::changeEvent(event);
    }
};
