#include "PaneDrag.h"

#include "FilePane.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

const QString rowsType = u"application/x-dravik-pane-rows"_s;

// Names the pane in this program only: another program's drag never matches it.
QString identity(const FilePane& pane)
{
    return QString::number(QCoreApplication::applicationPid()) + u':' +
           QString::number(reinterpret_cast<quintptr>(&pane), 16);
}

} // namespace

QMimeData* PaneDrag::rows(const FilePane& pane)
{
    if (pane.selection().isEmpty())
        return nullptr;
    QJsonArray names;
    for (const QString& name : pane.selection())
        names.append(name);
    auto* data = new QMimeData;
    data->setData(rowsType, QJsonDocument(QJsonObject{{u"pane"_s, identity(pane)}, {u"names"_s, names}}).toJson());
    return data;
}

bool PaneDrag::carriesSelectionOf(const QMimeData* data, const FilePane& pane)
{
    if (!data || !data->hasFormat(rowsType))
        return false;
    const QJsonObject rows = QJsonDocument::fromJson(data->data(rowsType)).object();
    if (rows.value(u"pane"_s).toString() != identity(pane))
        return false;
    QSet<QString> names;
    for (const QJsonValue& name : rows.value(u"names"_s).toArray())
        names.insert(name.toString());
    // A selection changed since the drag began would send rows the person did not drag.
    return !names.isEmpty() && names == pane.selection();
}

QStringList PaneDrag::localFiles(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            return {};
        paths << url.toLocalFile();
    }
    return paths;
}
