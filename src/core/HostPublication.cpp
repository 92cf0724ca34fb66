#include "HostPublication.h"

#include "DiskPublication.h"
#include "Publishing.h"

#include <QDir>
#include <QTemporaryDir>

namespace lq {

Built publishToHost(const PublishRequest& request, const PageContent& content)
{
    if (!request.sendToHost)
        return {{}, QStringLiteral("nothing here can send to a web host")};
    const QTemporaryDir scratch;
    const QString folder = scratch.filePath(QStringLiteral("site"));
    if (!scratch.isValid() || !QDir().mkdir(folder))
        return {{}, QStringLiteral("cannot make a scratch folder: %1").arg(scratch.errorString())};
    if (const auto failure = writeWebFolder(folder, content))
        return {{}, *failure};
    return request.sendToHost(folder);
}

} // namespace lq
