#pragma once

#include "PublicationPlaces.h"

namespace lq {

// The builder of the user's web host: writes the web folder into a scratch folder and hands it to
// the request's sendToHost, which puts it on the host.
Built publishToHost(const PublishRequest& request, const PageContent& content);

} // namespace lq
