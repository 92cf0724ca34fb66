#include "InstalledFiles.h"

#include "InstallLayout.h"

#include <QDir>
#include <QFileInfo>

namespace lq {

namespace {

QString besideExecutable(const QString& executableFolder, const char* up, InstalledKind kind)
{
    const char* folder =
        kind == InstalledKind::Data ? InstallLayout::dataFolder : InstallLayout::libraryFolder;
    return QDir::cleanPath(executableFolder + QLatin1Char('/') + QLatin1String(up) +
                           QLatin1String(folder));
}

} // namespace

QString installedFolder(const QString& executableFolder, InstalledKind kind)
{
    for (const char* up : {"", "../"}) {
        const QString candidate = besideExecutable(executableFolder, up, kind);
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

QString expectedInstalledFolder(const QString& executableFolder, InstalledKind kind)
{
    const QString found = installedFolder(executableFolder, kind);
    return found.isEmpty() ? besideExecutable(executableFolder, "", kind) : found;
}

QString playerModuleIn(const QString& folder)
{
    return folder + QLatin1Char('/') + QLatin1String(InstallLayout::playerModuleName);
}

} // namespace lq
