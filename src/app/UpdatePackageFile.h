#pragma once

#include "UpdateRelease.h"

#include <QByteArrayView>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

// The installer package as it arrives: written to "installer.part" in a fresh owner-only folder of
// the user's Downloads, hashed on the way, and given its own name only once its length and digest
// match the release. Whatever ends the download, no partial file stays behind.
class UpdatePackageFile {
public:
    // Creates the folder and the empty partial file. Throws std::system_error.
    explicit UpdatePackageFile(const UpdateRelease& release);
    // Removes the partial file, and the folder when nothing else is in it.
    ~UpdatePackageFile();
    UpdatePackageFile(const UpdatePackageFile&) = delete;
    UpdatePackageFile& operator=(const UpdatePackageFile&) = delete;

    // Throws FTPError "update_invalid" as soon as the octets exceed the announced length, before
    // writing any of them, and std::system_error when the disk refuses them.
    void append(QByteArrayView octets);
    // Checks length and digest and moves the file to its package name, whose path it returns.
    // Throws FTPError "update_invalid" or std::system_error.
    QString install();

    const QString& folder() const { return m_folder; }
    // The user's Downloads folder, or the home folder when there is none.
    static QString downloadsFolder();

private:
    void flush();

    UpdateRelease m_release;
    QString m_folder;
    QFile m_partial;
    QCryptographicHash m_digest{QCryptographicHash::Sha256};
    QByteArray m_buffer;
    qint64 m_total = 0;
};
