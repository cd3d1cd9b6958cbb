#include "FileIconDelegate.h"

#include "FileListModel.h"
#include "Icons.h"

#include <QHash>

using namespace Qt::StringLiterals;

QString FileIconDelegate::symbol(const QString& name, bool isDirectory)
{
    if (isDirectory)
        return u"folder.fill"_s;
    static const QHash<QString, QString> byExtension = [] {
        QHash<QString, QString> table;
        for (const QString& extension : {u"png"_s, u"jpg"_s, u"jpeg"_s, u"gif"_s, u"webp"_s, u"heic"_s})
            table.insert(extension, u"photo"_s);
        for (const QString& extension : {u"zip"_s, u"gz"_s, u"tar"_s, u"rar"_s, u"7z"_s})
            table.insert(extension, u"doc.zipper"_s);
        for (const QString& extension : {u"swift"_s, u"php"_s, u"js"_s, u"html"_s, u"css"_s, u"json"_s, u"py"_s})
            table.insert(extension, u"chevron.left.forwardslash.chevron.right"_s);
        return table;
    }();
    const qsizetype dot = name.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1).toLower();
    return byExtension.value(extension, u"doc"_s);
}

void FileIconDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // One icon per symbol, looked up in the theme once.
    static QHash<QString, QIcon> icons;
    const QString name = index.data(FileListModel::NameRole).toString();
    const QString kind = symbol(name, index.data(FileListModel::IsDirectoryRole).toBool());
    auto icon = icons.find(kind);
    if (icon == icons.end())
        icon = icons.insert(kind, Icons::icon(kind));
    option->icon = *icon;
    option->features |= QStyleOptionViewItem::HasDecoration;
}
