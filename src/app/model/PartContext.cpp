#include "PartContext.h"

#include "ActivityLog.h"
#include "ErrorText.h"
#include "StoreFile.h"

void PartContext::record(const QString& line) const
{
    activity.record(line);
}

void PartContext::report(const QString& sentence, bool log) const
{
    showError(sentence);
    if (log)
        record(sentence);
}

void PartContext::report(const std::exception_ptr& error, bool log) const
{
    if (const std::optional<QString> sentence = ErrorText::sentence(error))
        report(*sentence, log);
}

void PartContext::reportKept(const QString& file, const QString& keptAs) const
{
    if (const std::optional<QString> notice = StoreFile::keptNotice(file, keptAs))
        report(*notice);
}
