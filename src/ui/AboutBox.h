#pragma once

#include "Retranslating.h"

#include <QDialog>

class QLabel;
class QPushButton;

// The program's name, icon, version and credits.
class AboutBox : public Retranslating<QDialog> {
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent = nullptr);

    // Opens a box that deletes itself when closed.
    static AboutBox* present(QWidget* parent);

private:
    void retranslate() override;

    QLabel* m_credits = nullptr;
    QPushButton* m_close = nullptr;
};
