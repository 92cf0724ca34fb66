#pragma once

#include "Upload.h"

namespace lq::Hosting {

// The hosting module's services, loaded from the module on first use (from any thread). When the
// module is missing or belongs to another version, an upload fails with a line that says so, no
// password is read and none is kept.
UploadOutcome upload(const UploadRequest& request,
                     const std::function<void(const UploadProgress&)>& onProgress,
                     const std::atomic_bool* cancel = nullptr);
QString readPassword(const HostAddress& address);
bool keepPassword(const HostAddress& address, const QString& password);

// The module's file, beside the program's shared libraries (without the system's prefix and
// suffix, which the plugin loader adds).
QString defaultModuleFile();

} // namespace lq::Hosting
