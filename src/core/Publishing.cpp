#include "Publishing.h"

#include "ConfinedWalk.h"
#include "ContentText.h"
#include "DrivePaths.h"
#include "MovieFile.h"
#include "PublicationPage.h"
#include "PublishingSteps.h"
#include "Tables.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <variant>

namespace lq {

namespace {

// The largest movie or text taken into a publication: far above any template, far below what
// would make a page no browser opens.
constexpr qint64 kMaxFileBytes = 64 * 1024 * 1024;

using publishing::Failure;
using publishing::native;
using publishing::Result;

QString lastPart(const QString& windowsPath)
{
    return windowsPath.section(QLatin1Char('\\'), -1);
}

// How much of a file of the drive publishing reads.
enum class ReadExtent {
    Whole,      // all of it, refused above kMaxFileBytes (the movie)
    ContentText // as much as a template movie reads of it, and a byte more to tell it was cut
};

// A file of the drive read through the confined walk, or nothing when it is not there.
// A link out of the drive, a folder in its place or a refused read is a failure.
Result<std::optional<QByteArray>> readDriveFile(const QString& windowsPath, ReadExtent extent)
{
    const DrivePaths::Location location = DrivePaths::locate(windowsPath);
    if (location.outcome == WalkOutcome::LeadsOut)
        return Failure{
            QStringLiteral("%1 leads out of the drive folder, which is refused").arg(windowsPath)};
    const QString local = native(location.localPath);
    if (location.outcome == WalkOutcome::FolderMissing ||
        location.outcome == WalkOutcome::NotAFolder)
        return std::optional<QByteArray>();
    if (location.outcome != WalkOutcome::Found)
        return Failure{
            QStringLiteral("cannot read %1: %2").arg(local, qt_error_string(location.error))};
    UniqueFd fd(openRegularFile(location.folder.get(), location.name));
    if (!fd.isValid()) {
        const int error = errno;
        if (error == ENOENT)
            return std::optional<QByteArray>();
        struct stat info;
        if ((error == EISDIR || error == EINVAL) &&
            ::fstatat(location.folder.get(), location.name.constData(), &info,
                      AT_SYMLINK_NOFOLLOW) == 0)
            return Failure{
                QStringLiteral("%1 is %2, not a file").arg(local, describeFileType(info.st_mode))};
        return Failure{QStringLiteral("cannot read %1: %2").arg(local, qt_error_string(error))};
    }
    QFile file;
    if (!file.open(fd.release(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return Failure{QStringLiteral("cannot read %1: %2").arg(local, file.errorString())};
    if (extent == ReadExtent::Whole && file.size() > kMaxFileBytes)
        return Failure{QStringLiteral("cannot read %1: it is larger than %2 MiB")
                           .arg(local)
                           .arg(kMaxFileBytes >> 20)};
    QByteArray bytes =
        extent == ReadExtent::Whole ? file.readAll() : file.read(kContentReadLimit + 1);
    if (file.error() != QFileDevice::NoError)
        return Failure{QStringLiteral("cannot read %1: %2").arg(local, file.errorString())};
    return std::optional<QByteArray>(std::move(bytes));
}

QString localPathOf(const QString& windowsPath)
{
    return native(DrivePaths::locate(windowsPath).localPath);
}

// The movie and the texts of a template, as they are on the drive now.
struct Sources
{
    PageContent content;
    QStringList missing;
};

// The language of the texts unless the user names one: the user's own, as the system says it.
QString systemLanguage()
{
    const QLocale locale = QLocale::system();
    return locale.language() == QLocale::C ? QStringLiteral("en") : locale.bcp47Name();
}

Result<Sources> readSources(const Template& entry, const PublishRequest& request)
{
    Sources sources;
    sources.content.givenTitle = request.pageTitle;
    sources.content.language = request.language.isEmpty() ? systemLanguage() : request.language;
    sources.content.movieName = lastPart(entry.movie);
    sources.content.dataFolder = request.dataFolder;
    auto movie = readDriveFile(entry.movie, ReadExtent::Whole);
    if (auto* failure = std::get_if<Failure>(&movie))
        return *failure;
    const std::optional<QByteArray>& bytes = std::get<std::optional<QByteArray>>(movie);
    if (!bytes)
        return Failure{QStringLiteral("there is no movie at %1").arg(localPathOf(entry.movie))};
    if (const auto problem = movieBytesProblem(*bytes))
        return Failure{
            QStringLiteral("%1 cannot be played: %2").arg(localPathOf(entry.movie), *problem)};
    sources.content.movie = *bytes;
    for (const ContentFile& file : contentFiles()) {
        if (file.effectName != entry.effectName)
            continue;
        auto text = readDriveFile(file.path, ReadExtent::ContentText);
        if (auto* failure = std::get_if<Failure>(&text))
            return *failure;
        if (const auto& textBytes = std::get<std::optional<QByteArray>>(text))
            sources.content.texts.append({.fileName = lastPart(file.path),
                                          .bytes = publishedContentFile(*textBytes),
                                          .section = file.section,
                                          .siteTitle = file.holdsSiteTitle()});
        else
            sources.missing << file.path;
    }
    return sources;
}

PublishOutcome failed(const QString& effectName, const Failure& failure)
{
    PublishOutcome outcome;
    outcome.error = QStringLiteral("Cannot publish %1: %2.").arg(effectName, failure.message);
    return outcome;
}

} // namespace

PublishOutcome publishTemplate(const PublishRequest& request)
{
    const Template* entry = findTemplate(request.effectName);
    if (!entry)
        return failed(request.effectName,
                      {QStringLiteral("it is not a template; choose one of %1")
                           .arg(publishableEffects().join(QStringLiteral(", ")))});
    if (request.target.isEmpty())
        return failed(request.effectName, {QStringLiteral("no place to publish to was given")});
    if (!request.language.isEmpty() && !isLanguageTag(request.language))
        return failed(request.effectName,
                      {QStringLiteral("\u201C%1\u201D is not a language tag such as en or pt-BR")
                           .arg(request.language)});
    auto sources = readSources(*entry, request);
    if (auto* failure = std::get_if<Failure>(&sources))
        return failed(request.effectName, *failure);
    const Sources& read = std::get<Sources>(sources);
    const Built built = placeOf(request.form).build(request, read.content);
    if (!built.failure.isEmpty())
        return failed(request.effectName, {built.failure});
    PublishOutcome outcome;
    outcome.ok = true;
    outcome.written = built.written;
    outcome.missingContentFiles = read.missing;
    return outcome;
}

QString defaultPublicationTarget(const QString& effectName, PublicationForm form,
                                 const QString& documentsFolder)
{
    return placeOf(form).defaultTarget(effectName, documentsFolder);
}
bool isLanguageTag(const QString& text)
{
    static const QRegularExpression tag(QStringLiteral("^[A-Za-z]{2,8}(-[A-Za-z0-9]{1,8})*$"));
    return text.size() <= 35 && tag.match(text).hasMatch();
}

QStringList publishableEffects()
{
    QStringList names;
    const QStringList list = effectListEntries();
    for (const QString& entry : list) {
        if (findTemplate(entry))
            names << entry;
    }
    return names;
}

} // namespace lq
