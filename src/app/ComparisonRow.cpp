#include "ComparisonRow.h"

#include "L10n.h"

using namespace Qt::StringLiterals;

QString ComparisonRow::statusKey() const
{
    if (!local)
        return u"remote_only"_s;
    if (!remote)
        return u"local_only"_s;
    if (local->isDirectory != remote->isDirectory)
        return u"different"_s;
    if (local->isDirectory)
        return u"folder"_s;
    if (!local->size || !remote->size)
        return u"unknown"_s;
    if (*local->size != *remote->size)
        return u"different"_s;
    if (!local->modified || !remote->modified)
        return u"compare_size_only"_s;
    // Servers round their times to whole seconds, and some file systems to two.
    return qAbs(local->modified->msecsTo(*remote->modified)) < 2000 ? u"same_metadata"_s : u"different"_s;
}

QString ComparisonRow::status() const
{
    return L10n::text(statusKey());
}
