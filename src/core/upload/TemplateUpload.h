#pragma once

#include "Publishing.h"
#include "Upload.h"

namespace lq {

// What puts a web folder on a host: uploadPublication() in the hosting module, Hosting::upload()
// in the program.
using UploadFunction = std::function<UploadOutcome(
    const UploadRequest&, const std::function<void(const UploadProgress&)>&,
    const std::atomic_bool*)>;

// Publishes the template as a web folder and puts it on the host of request.remote, for the dialog
// and the command line alike. `publication` names the template, the data folder and the page's
// title and language; its place and target become the host's. The upload's outcome, or, when
// publishing failed before anything was sent, publishing's error.
UploadOutcome uploadTemplate(PublishRequest publication, UploadRequest request,
                             const std::function<PublishOutcome(const PublishRequest&)>& publish,
                             const UploadFunction& upload,
                             const std::function<void(const UploadProgress&)>& onProgress = {},
                             const std::atomic_bool* cancel = nullptr);

} // namespace lq
