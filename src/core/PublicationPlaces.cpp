#include "PublicationPlaces.h"

#include "DiskPublication.h"
#include "HostPublication.h"

#include <QDir>

namespace lq {

namespace {

QString folderNamedAfter(const QString& effectName, const QString& documentsFolder)
{
    return QDir(documentsFolder).filePath(effectName);
}

// A host has no default: its address is the user's own, remembered by the dialog.
QString noDefault(const QString&, const QString&)
{
    return {};
}

QString pageNamedAfter(const QString& effectName, const QString& documentsFolder)
{
    return QDir(documentsFolder).filePath(effectName + QStringLiteral(".html"));
}

} // namespace

const QList<PublicationPlace>& publicationPlaces()
{
    static const QList<PublicationPlace> table = {
        {
            .form = PublicationForm::WebFolder,
            .targetKind = TargetKind::Folder,
            .option = "publish",
            .optionHelp = "Publish the template EFFECT with its saved texts as a web folder FOLDER "
                          "(index.html, the movie, its texts and the player) for any web host.",
            .targetValue = "FOLDER",
            .targetNoun = "folder",
            .label = "A &web folder, to upload to any web host",
            .controlName = "optFolder",
            .browseCaption = "Choose or create the folder to publish into",
            .publishedText = "\u201C%1\u201D is published in the folder \u201C%2\u201D. Upload "
                             "everything in it to your web host; visitors open its index.html.",
            .openAction = "&Open Folder",
            .defaultTarget = folderNamedAfter,
            .build = publishWebFolder,
        },
        {
            .form = PublicationForm::SinglePage,
            .targetKind = TargetKind::File,
            .option = "publish-file",
            .optionHelp = "Publish the template EFFECT as one page FILE.html that plays from a "
                          "disk, a mail or any web host.",
            .targetValue = "FILE.html",
            .targetNoun = ".html file",
            .label = "&One page, a single file that plays anywhere",
            .controlName = "optPage",
            .browseCaption = "Save the page as",
            .browseFilter = "Web pages (*.html)",
            .publishedText = "\u201C%1\u201D is published as the page \u201C%2\u201D. Upload it to "
                             "your web host, or send it as it is: it plays in any current "
                             "browser.",
            .openAction = "&Open Page",
            .defaultTarget = pageNamedAfter,
            .build = publishSinglePage,
        },
        {
            .form = PublicationForm::WebHost,
            .targetKind = TargetKind::Host,
            .option = "upload",
            .optionHelp = "Publish the template EFFECT as a web folder and put it on your web "
                          "host at URL: sftp://user@host[:port]/folder, ftps://, davs:// or "
                          "ftp://. Only what changed is sent.",
            .targetValue = "URL",
            .targetNoun = "address of your web host",
            .label = "On your web &host, uploaded now",
            .controlName = "optHost",
            .publishedText = "\u201C%1\u201D is on your web host at %2.",
            .defaultTarget = noDefault,
            .build = publishToHost,
        },
    };
    return table;
}

const PublicationPlace& placeOf(PublicationForm form)
{
    for (const PublicationPlace& place : publicationPlaces()) {
        if (place.form == form)
            return place;
    }
    qFatal("no place to publish for form %d", int(form));
}

} // namespace lq
