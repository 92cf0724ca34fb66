#pragma once

#include "RemoteFolder.h"

#include <atomic>
#include <chrono>
#include <functional>

namespace lq {

struct UploadProgress
{
    int filesDone = 0;
    int filesTotal = 0;
    qint64 bytesDone = 0;
    qint64 bytesTotal = 0;
};

struct UploadRequest
{
    RemoteSettings remote; // its onProgress is the uploader's own
    QString publication;   // the web folder on this machine to put on the host
    // A dropped connection is tried again this often, after this long, before giving up.
    int attempts = 4;
    std::chrono::milliseconds retryDelay{1500};
};

struct UploadOutcome
{
    bool ok = false;
    UploadProblem problem = UploadProblem::None;
    QString error;       // when not ok: one line that names the case
    QString fingerprint; // the host's, for HostKeyUnknown and the certificate cases
    int filesSent = 0;
    int filesRemoved = 0;
    qint64 bytesSent = 0; // content bytes that went over the connection
};

// Puts the publication into the remote folder: only the files whose content changed, each under a
// temporary name first and renamed into place with index.html last, so that visitors see the old
// site or the new one. A folder that is neither missing, empty nor ours is refused untouched, and
// only files the earlier publication's manifest lists are ever removed. Blocks: run it off the
// window's thread. `cancel` is honoured until the renames begin; the site is then left as it was.
UploadOutcome uploadPublication(const UploadRequest& request,
                                const std::function<void(const UploadProgress&)>& onProgress,
                                const std::atomic_bool* cancel = nullptr);

// The one line a user reads for a problem (without "Cannot upload to …: ").
QString describeUploadProblem(UploadProblem problem, const HostAddress& address,
                              const QString& fingerprint, int timeoutSeconds);

} // namespace lq
