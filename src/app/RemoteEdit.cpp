#include "RemoteEdit.h"

#include "FTPError.h"
#include "L10n.h"
#include "LocalFile.h"

#include <QCryptographicHash>
#include <fcntl.h>
#include <filesystem>
#include <optional>

namespace {

[[noreturn]] void tooLarge()
{
    throw FTPError::message(L("edit_size_limit"));
}

} // namespace

QString RemoteEdit::editHash(const QString& file)
{
    // Checked on the open descriptor, so nothing can swap the file between check and read; a
    // link fails to open, and a FIFO opens without waiting for a writer.
    std::optional<LocalFile> input;
    try {
        input = LocalFile::open(file, O_RDONLY);
    } catch (const std::filesystem::filesystem_error& e) {
        if (e.code() == std::errc::too_many_symbolic_link_levels)
            tooLarge();
        throw;
    }
    const LocalAttributes attributes = input->attributes();
    if (!attributes.isRegularFile || *attributes.size > maximumBytes)
        tooLarge();

    QCryptographicHash hash(QCryptographicHash::Sha256);
    char buffer[65536];
    qint64 total = 0;
    while (const qint64 count = input->read(buffer, sizeof buffer)) {
        // The file may have grown since it was checked.
        total += count;
        if (total > maximumBytes)
            tooLarge();
        hash.addData(QByteArrayView(buffer, count));
    }
    return QString::fromLatin1(hash.result().toHex());
}

bool RemoteEdit::mayTake(const FileEntry& entry)
{
    return entry.size ? *entry.size <= maximumBytes : entry.isSymbolicLink;
}
