#pragma once

#include <QStyledItemDelegate>

// Shows each name with the symbol of its kind: a folder, or a file by its extension.
class FileIconDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // "folder.fill" for a folder, otherwise the symbol of the lower-cased extension: pictures,
    // archives, code, or "doc" for anything else.
    static QString symbol(const QString& name, bool isDirectory);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
