#include "ProgramEnvironment.h"

#include <QHash>
#include <QMutex>
#include <optional>

namespace lq::ProgramEnvironment {

namespace {

struct Originals
{
    QMutex mutex;
    // What each variable the program set was before its first change; nothing: it was unset.
    QHash<QByteArray, std::optional<QByteArray>> values;
};

Originals& originals()
{
    static Originals instance;
    return instance;
}

} // namespace

void set(const char* name, const QByteArray& value)
{
    Originals& saved = originals();
    const QMutexLocker lock(&saved.mutex);
    if (!saved.values.contains(name)) {
        saved.values.insert(name, qEnvironmentVariableIsSet(name)
                                      ? std::optional<QByteArray>(qgetenv(name))
                                      : std::nullopt);
    }
    qputenv(name, value);
}

void setDefault(const char* name, const QByteArray& value)
{
    if (!qEnvironmentVariableIsSet(name))
        set(name, value);
}

QProcessEnvironment forOtherPrograms()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    Originals& saved = originals();
    const QMutexLocker lock(&saved.mutex);
    for (auto it = saved.values.cbegin(); it != saved.values.cend(); ++it) {
        const QString name = QString::fromLatin1(it.key());
        if (it.value())
            environment.insert(name, QString::fromLocal8Bit(*it.value()));
        else
            environment.remove(name);
    }
    return environment;
}

} // namespace lq::ProgramEnvironment
