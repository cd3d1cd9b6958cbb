#pragma once

#include "DesktopApplication.h"
#include "Retranslating.h"

#include <QDialog>
#include <QList>
#include <optional>

class QLabel;
class QListWidget;
class QPushButton;

// Asks which installed application should open a file: those that declare the file's type come
// first, the others after them, each group in name order.
class ApplicationChooser : public Retranslating<QDialog> {
    Q_OBJECT

public:
    ApplicationChooser(const QString& file, const QList<DesktopApplication>& applications, QWidget* parent = nullptr);

    // The desktop id of the chosen application; none while nothing is selected.
    std::optional<QString> chosenID() const;

private:
    void retranslate() override;

    QLabel* m_title = nullptr;
    QListWidget* m_list = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_cancel = nullptr;
};
