#include "Hosting.h"

#include "HostingModule.h"
#include "InstallLayout.h"
#include "InstalledFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QPluginLoader>

namespace lq::Hosting {

namespace {

struct LoadedModule
{
    HostingModule* module = nullptr;
    QString error; // why there is none
};

LoadedModule load()
{
    QPluginLoader loader(defaultModuleFile());
    const QString iid = loader.metaData().value(QLatin1String("IID")).toString();
    if (!iid.isEmpty() && iid != QLatin1String(LQ_HOSTING_MODULE_IID))
        return {.error = QStringLiteral("The uploader \u201C%1\u201D belongs to another version of "
                                        "Lumen Quill, so nothing can be put on a host.")
                             .arg(QDir::toNativeSeparators(loader.fileName()))};
    if (auto* module = qobject_cast<HostingModule*>(loader.instance()))
        return {.module = module};
    return {.error = QStringLiteral("The uploader could not be loaded (%1), so nothing can be put "
                                    "on a host. Installing Lumen Quill again mends this.")
                         .arg(loader.errorString())};
}

// Loaded once, by whichever thread asks first; the module stays for the program's life.
const LoadedModule& loaded()
{
    static const LoadedModule module = load();
    return module;
}

} // namespace

UploadOutcome upload(const UploadRequest& request,
                     const std::function<void(const UploadProgress&)>& onProgress,
                     const std::atomic_bool* cancel)
{
    if (HostingModule* module = loaded().module)
        return module->upload(request, onProgress, cancel);
    return {.problem = UploadProblem::Other, .error = loaded().error};
}

QString readPassword(const HostAddress& address)
{
    HostingModule* module = loaded().module;
    return module ? module->readPassword(address) : QString();
}

bool keepPassword(const HostAddress& address, const QString& password)
{
    HostingModule* module = loaded().module;
    return module && module->keepPassword(address, password);
}

QString defaultModuleFile()
{
    return expectedInstalledFolder(QCoreApplication::applicationDirPath(),
                                   InstalledKind::Libraries) +
           QLatin1Char('/') + QLatin1String(InstallLayout::hostingModuleName);
}

} // namespace lq::Hosting
