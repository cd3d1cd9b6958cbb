#include "ViewChoices.h"

#include "L10n.h"

#include <QSettings>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace ViewChoices {

namespace {

const QString showHiddenKey = u"showHidden"_s;
const QString profileKey = u"selectedProfileID"_s;

QString sortKey(bool local)
{
    return local ? u"localSortOrder"_s : u"remoteSortOrder"_s;
}

// In the order of FileSortComparator::Field.
const QStringList fieldNames = {u"name"_s, u"size"_s, u"modified"_s};
const QStringList orderNames = {u"ascending"_s, u"descending"_s};

QVariant stored(const QString& key)
{
    const QSettings preferences = L10n::preferences();
    return preferences.value(key);
}

void store(const QString& key, const QVariant& value)
{
    QSettings preferences = L10n::preferences();
    preferences.setValue(key, value);
}

} // namespace

bool storedShowHidden()
{
    // QSettings would read any other text ("yes", a typo) as true; only its own "true" shows them.
    return stored(showHiddenKey).toString() == u"true"_s;
}

void storeShowHidden(bool show)
{
    store(showHiddenKey, show);
}

FileSortComparator storedSortOrder(bool local)
{
    // "field order", as "size descending".
    const QStringList words = stored(sortKey(local)).toString().split(u' ');
    if (words.size() != 2 || !fieldNames.contains(words.at(0)) || !orderNames.contains(words.at(1)))
        return {};
    return {FileSortComparator::Field(fieldNames.indexOf(words.at(0))), Qt::SortOrder(orderNames.indexOf(words.at(1)))};
}

void storeSortOrder(bool local, const FileSortComparator& order)
{
    store(sortKey(local), QString(fieldNames.at(int(order.field)) + u' ' + orderNames.at(int(order.order))));
}

QUuid storedProfileID()
{
    return QUuid::fromString(stored(profileKey).toString());
}

void storeProfileID(const QUuid& id)
{
    store(profileKey, id.toString(QUuid::WithoutBraces));
}

} // namespace ViewChoices
