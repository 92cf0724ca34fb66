#pragma once

#include "PublicationPlaces.h"

#include <optional>

namespace lq {

// The builders of the places on the user's own disk. Each writes beside the target first and
// renames into place, so that a failure leaves the earlier publication, or nothing, as it was; a
// target that holds anything but a publication of ours is refused and left as it is.
Built publishWebFolder(const PublishRequest& request, const PageContent& content);
Built publishSinglePage(const PublishRequest& request, const PageContent& content);

// Writes the web folder's files (index.html, the movie, its texts, the player in ruffle/) into an
// empty folder and forces them to disk: for a builder that sends the folder elsewhere. The
// failure in words for the user, or nothing.
std::optional<QString> writeWebFolder(const QString& emptyFolder, const PageContent& content);

} // namespace lq
