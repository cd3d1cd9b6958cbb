#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The program's name, icon, version and credits.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent = nullptr);

    // Opens a box that deletes itself when closed.
    static AboutBox* present(QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QLabel* m_credits = nullptr;
    QPushButton* m_close = nullptr;
};
