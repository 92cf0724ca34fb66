#pragma once

#include "PublicationPlaces.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace lq {

struct PublishRequest
{
    QString effectName; // an entry of the effect list that has a template ("Vector", "3d", ...)
    PublicationForm form = PublicationForm::WebFolder;
    QString target;     // where to: a path or a URL, as the form's place takes it
    QString dataFolder; // the program's installed data folder (share/lumen-quill)
    QString pageTitle;  // the page's title where the template has no title text; may be empty
    QString language;   // the texts' language as a BCP 47 tag; empty: the user's own
    // For a place on a host: sends the web folder, written into a scratch folder, to the target.
    // The uploader links what core does not, so the caller hands it in.
    std::function<Built(const QString& webFolder)> sendToHost = {};
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

// Publishes one template with the texts saved on the drive, through the builder of the form's
// place (PublicationPlaces.h). A failure leaves the earlier publication, or nothing, as it was.
PublishOutcome publishTemplate(const PublishRequest& request);

// Where a publication goes unless the user says otherwise, as the form's place names it (for the
// places on the disk: a folder, or NAME.html, named after the template, in the Documents folder).
QString defaultPublicationTarget(const QString& effectName, PublicationForm form,
                                 const QString& documentsFolder);

// Whether a text names a language as a page may say it: "en", "de-AT", "pt-BR", "sr-Latn".
bool isLanguageTag(const QString& text);

// The effect-list entries that can be published, in the list's order.
QStringList publishableEffects();

} // namespace lq
