#pragma once

#include <QString>
#include <QStringList>

namespace lq {

// What a template is published as.
enum class PublicationForm {
    WebFolder,  // a folder for any static host: index.html, the movie, its texts, the player
    SinglePage, // one self-contained NAME.html that plays from file://, a mail or any host
};

struct PublishRequest
{
    QString effectName; // an entry of the effect list that has a template ("Vector", "3d", ...)
    PublicationForm form = PublicationForm::WebFolder;
    QString target;     // the folder (WebFolder) or the .html file (SinglePage) to write
    QString dataFolder; // the program's installed data folder (share/lumen-quill)
};

struct PublishOutcome
{
    bool ok = false;
    QString written; // when ok: the folder or file now in place
    // Content files of the template that were not there (Windows paths); published anyway.
    QStringList missingContentFiles;
    // When not ok: one line for the user that names the file and the reason.
    QString error;
};

// Publishes one template with the texts saved on the drive. Writes beside the target first and
// renames into place, so that a failure leaves the earlier publication, or nothing, as it was.
PublishOutcome publishTemplate(const PublishRequest& request);

// Where a publication goes unless the user says otherwise: a folder, or NAME.html, named after
// the template, in the given Documents folder.
QString defaultPublicationTarget(const QString& effectName, PublicationForm form,
                                 const QString& documentsFolder);

// The effect-list entries that can be published, in the list's order.
QStringList publishableEffects();

} // namespace lq
