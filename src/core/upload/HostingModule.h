#pragma once

#include "Upload.h"

#include <QtPlugin>

namespace lq {

// What the hosting module offers the program: the transfers to a web host (libcurl) and the
// desktop's secret store for the host's password. The program loads it only when a user publishes
// to a host, so that starting the program does not load a dozen network and crypto libraries.
// The interface id carries this interface's version and changes whenever it or the types it
// passes change, so that a module built for another version is refused when it is loaded.
class HostingModule
{
public:
    virtual ~HostingModule() = default;

    // As uploadPublication(): blocks, run it off the window's thread.
    virtual UploadOutcome upload(const UploadRequest& request,
                                 const std::function<void(const UploadProgress&)>& onProgress,
                                 const std::atomic_bool* cancel) = 0;
    // The password kept for the host and user; empty when none is kept or no store answers.
    virtual QString readPassword(const HostAddress& address) = 0;
    // Keeps the password in the secret store, never in a file in clear; false when no store
    // took it.
    virtual bool keepPassword(const HostAddress& address, const QString& password) = 0;
};

} // namespace lq

#define LQ_HOSTING_MODULE_IID "org.lumenquill.HostingModule/1"
Q_DECLARE_INTERFACE(lq::HostingModule, LQ_HOSTING_MODULE_IID)
