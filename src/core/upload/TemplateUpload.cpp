#include "TemplateUpload.h"

namespace lq {

UploadOutcome uploadTemplate(PublishRequest publication, UploadRequest request,
                             const std::function<PublishOutcome(const PublishRequest&)>& publish,
                             const UploadFunction& upload,
                             const std::function<void(const UploadProgress&)>& onProgress,
                             const std::atomic_bool* cancel)
{
    publication.form = PublicationForm::WebHost;
    publication.target = request.remote.address.display();
    UploadOutcome outcome;
    publication.sendToHost = [&](const QString& webFolder) {
        request.publication = webFolder;
        outcome = upload(request, onProgress, cancel);
        return Built{publication.target, outcome.ok ? QString() : outcome.error};
    };
    const PublishOutcome published = publish(publication);
    if (!published.ok && outcome.problem == UploadProblem::None) {
        outcome.ok = false; // before anything was sent
        outcome.error = published.error;
    }
    return outcome;
}

} // namespace lq
