#include "UpdatePackageFile.h"

#include "FTPError.h"
#include "L10n.h"
#include "ServerProfile.h"
#include "SystemCall.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Octets are hashed and written in blocks of this size.
constexpr qsizetype blockBytes = 65536;

[[noreturn]] void invalid()
{
    throw FTPError::message(L("update_invalid"));
}

} // namespace

QString UpdatePackageFile::downloadsFolder()
{
    const QString downloads = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return !downloads.isEmpty() && QFileInfo(downloads).isDir() ? downloads : QDir::homePath();
}

UpdatePackageFile::UpdatePackageFile(const UpdateRelease& release)
    : m_release(release),
      m_folder(downloadsFolder() + u"/Dravik FTP Update "_s + ServerProfile::uuidText(QUuid::createUuid()))
{
    if (::mkdir(QFile::encodeName(m_folder).constData(), 0700) != 0)
        SystemCall::fail("mkdir", m_folder);
    m_partial.setFileName(m_folder + u"/installer.part"_s);
    errno = 0;
    if (!m_partial.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        const int error = errno;
        ::rmdir(QFile::encodeName(m_folder).constData());
        SystemCall::fail("open", m_partial.fileName(), error ? error : EIO);
    }
}

UpdatePackageFile::~UpdatePackageFile()
{
    m_partial.close();
    QFile::remove(m_partial.fileName());
    // An installed package keeps its folder; a failed download leaves nothing in the Downloads.
    ::rmdir(QFile::encodeName(m_folder).constData());
}

void UpdatePackageFile::append(QByteArrayView octets)
{
    if (octets.size() > m_release.bytes - m_total)
        invalid();
    m_total += octets.size();
    m_buffer.append(octets);
    if (m_buffer.size() >= blockBytes)
        flush();
}

void UpdatePackageFile::flush()
{
    m_digest.addData(m_buffer);
    errno = 0;
    if (m_partial.write(m_buffer) != m_buffer.size())
        SystemCall::fail("write", m_partial.fileName(), errno ? errno : EIO);
    m_buffer.clear();
}

QString UpdatePackageFile::install()
{
    flush();
    m_partial.close();
    if (m_total != m_release.bytes || QString::fromLatin1(m_digest.result().toHex()) != m_release.sha256.toLower())
        invalid();
    const QString package = m_folder + u'/' + m_release.packageName();
    if (::rename(QFile::encodeName(m_partial.fileName()).constData(), QFile::encodeName(package).constData()) != 0)
        SystemCall::fail("rename", package);
    return package;
}
