#pragma once

#include "Retranslating.h"

#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

// A small question with one line of text: a title, an optional message, the field, and a
// confirming button that is enabled only while the text is acceptable.
class TextPrompt : public Retranslating<QDialog> {
    Q_OBJECT

public:
    struct Question {
        const char* title;
        const char* placeholder;
        const char* confirm;
        // Rendered again after a language switch; none for no message.
        std::function<QString()> message;
        // Whether the text may be confirmed; none accepts any text that is not empty.
        std::function<bool(const QString&)> acceptable;
    };

    TextPrompt(Question question, const QString& text, QWidget* parent = nullptr);

    // Opens the prompt window-modal over `parent`, placed as a dialog; `confirmed` receives the
    // text when the person confirms. The prompt deletes itself when closed.
    static TextPrompt* ask(QWidget* parent, Question question, const QString& text,
                           std::function<void(const QString&)> confirmed);

    QString text() const;

private:
    void retranslate() override;
    void check();

    Question m_question;
    QLabel* m_title = nullptr;
    QLabel* m_message = nullptr;
    QLineEdit* m_field = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_confirm = nullptr;
};
