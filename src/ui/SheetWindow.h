#pragma once

#include "Retranslating.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QVBoxLayout;

// A window over the main window that shows one of the model's results: a title, a hint, the
// content, and "cancel" (Escape) to close it.
class SheetWindow : public Retranslating<QDialog> {
    Q_OBJECT

protected:
    SheetWindow(const char* title, const char* hint, QWidget* parent);

    // Puts the content between the hint and the button.
    void setContent(QWidget* content);
    void retranslate() override;

private:
    const char* m_titleKey;
    const char* m_hintKey;
    QLabel* m_title = nullptr;
    QLabel* m_hint = nullptr;
    QPushButton* m_close = nullptr;
    QVBoxLayout* m_layout = nullptr;
};
