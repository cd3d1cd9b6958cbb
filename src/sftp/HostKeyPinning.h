#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// Host keys are never trusted on first use: of everything ssh-keyscan printed, only the key
// lines whose SHA-256 digest is the profile's pinned fingerprint reach ssh's known-hosts file.
namespace HostKeyPinning {

// The fingerprint as compared: without any "SHA256:" and without Base64 padding.
QString normalised(const std::optional<QString>& fingerprint);
// The unpadded Base64 SHA-256 digest of a key blob.
QString fingerprint(const QByteArray& keyBlob);
// The scanned lines, unchanged, whose key matches `pinned`, in the order they came.
QStringList acceptedLines(const QByteArray& scanOutput, const std::optional<QString>& pinned);

} // namespace HostKeyPinning
