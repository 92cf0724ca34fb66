// The hosting module: the program loads it when a user first publishes to a host. It brings
// libcurl (with its SSH, TLS and Kerberos libraries) and the desktop's secret store; only the
// plugin's entry points leave it.
#include "HostPasswords.h"
#include "HostingModule.h"

namespace lq {

class HostingModulePlugin : public QObject, public HostingModule
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID LQ_HOSTING_MODULE_IID)
    Q_INTERFACES(lq::HostingModule)

public:
    UploadOutcome upload(const UploadRequest& request,
                         const std::function<void(const UploadProgress&)>& onProgress,
                         const std::atomic_bool* cancel) override
    {
        return uploadPublication(request, onProgress, cancel);
    }

    QString readPassword(const HostAddress& address) override
    {
        return HostPasswords::read(address);
    }

    bool keepPassword(const HostAddress& address, const QString& password) override
    {
        return HostPasswords::write(address, password);
    }
};

} // namespace lq

#include "HostingModulePlugin.moc"
