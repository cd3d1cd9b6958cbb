#pragma once

#include "FTPClient.h"
#include "RemoteEdit.h"

#include <QString>
#include <functional>
#include <stop_token>

// The blocking halves of remote editing, run on the model's pool: fetching a remote file into a
// private local copy, and writing a copy back after a look at what the server holds now.
namespace RemoteEditJobs {

struct Copy {
    QString file;
    QString hash;
};
// Downloads `remotePath` as `name` into a fresh owner-only folder of the local copies, makes the
// file owner-only and hashes it. A failure leaves no folder behind.
Copy download(const FTPClient& client, const QString& remotePath, const QString& name, std::stop_token token);

struct Upload {
    // False when the person kept the server's file.
    bool uploaded = false;
    // The hash of the snapshot that was uploaded.
    QString snapshotHash;
    // The local copy was saved again since the snapshot was taken (or can no longer be read).
    bool changedSince = false;
};
// Asked with whether the server's file differs from the edit's originalHash; true uploads.
using Confirm = std::function<bool(bool remoteChanged)>;
// Uploads a snapshot of the local copy over `edit.remotePath` once the person confirms, after
// downloading the server's file to tell whether someone else changed it. The server's file is
// looked at again after the answer, and a change made while the question was open is asked
// about anew. The upload replaces the file by rename (FTPClient::replace), calling `directWrite`
// where the server cannot. Works in a fresh owner-only folder of the temporary folder, removed at
// the end. Throws FTPError "edit_size_limit" for a local copy that cannot be hashed,
// "destination_changed" when the server's file is gone, a folder or too large, and the engine's
// and file system's errors.
Upload upload(const RemoteEdit& edit, const FTPClient& client, const Confirm& confirm,
              const std::function<void()>& directWrite, std::stop_token token);

} // namespace RemoteEditJobs
