#pragma once

#include "SheetWindow.h"

class AppModel;
class QTableView;

// The rows of the last folder comparison: each path, its verdict and its size on either side.
class ComparisonView : public SheetWindow {
    Q_OBJECT

public:
    explicit ComparisonView(AppModel& model, QWidget* parent = nullptr);

    QTableView* table() const { return m_table; }

private:
    void retranslate() override;

    QTableView* m_table = nullptr;
};
