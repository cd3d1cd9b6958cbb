#pragma once

#include "DesktopApplication.h"

#include <QDialog>
#include <QList>
#include <optional>

class QDialogButtonBox;
class QLabel;
class QListWidget;

// Asks which installed application should open a file: those that declare the file's type come
// first, the others after them, each group in name order.
class ApplicationChooser : public QDialog {
    Q_OBJECT

public:
    ApplicationChooser(const QString& file, const QList<DesktopApplication>& applications, QWidget* parent = nullptr);

    // The desktop id of the chosen application; none while nothing is selected.
    std::optional<QString> chosenID() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void retranslate();

    QLabel* m_title = nullptr;
    QListWidget* m_list = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};
