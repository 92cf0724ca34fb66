#pragma once

#include "Hosting.h"
#include "KnownHosts.h"
#include "Publishing.h"
#include "TemplateUpload.h"

#include <QDialog>
#include <atomic>
#include <functional>
#include <memory>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QThread;

namespace lq {

class HostForm;

// File > "Publish for the Web…": which template, to which place (one option per row of
// publicationPlaces()), and where to. The target follows the template and the place until the
// user types or browses a place of their own; nothing is remembered once the dialog has gone.
class PublishDialog : public QDialog
{
    Q_OBJECT

public:
    using Publisher = std::function<PublishOutcome(const PublishRequest&)>;
    // Shows a written folder or page to the user; false when nothing could be started.
    using Opener = std::function<bool(const QString& localPath)>;
    // Asks the user for a place (a folder, or a page to save) starting at the given one; empty
    // when they gave up.
    using TargetChooser =
        std::function<QString(PublicationForm form, const QString& start, QWidget* parent)>;

    using Uploader = UploadFunction;
    using PasswordReader = std::function<QString(const HostAddress&)>;
    using PasswordKeeper = std::function<bool(const HostAddress&, const QString&)>;

    // What the dialog works with; the defaults are the real ones.
    struct Services
    {
        Publisher publish = publishTemplate;
        // Runs on a worker thread, never the window's.
        Uploader upload = Hosting::upload;
        QString knownHostsFile = KnownHosts::defaultFile();
        PasswordReader readPassword = Hosting::readPassword;
        PasswordKeeper keepPassword = Hosting::keepPassword;
        Opener open;
        TargetChooser chooseTarget = askForTarget;
        QString documentsFolder = userDocumentsFolder();
        QString dataFolder = installedDataFolder();
    };

    // effectName is the effect list's text: it presets the template when it names one.
    PublishDialog(const QString& effectName, Services services, QWidget* parent = nullptr);
    // Waits for an upload under way to stop first.
    ~PublishDialog() override;

    static QString userDocumentsFolder();
    static QString installedDataFolder();
    // The file dialog behind "Browse…".
    static QString askForTarget(PublicationForm form, const QString& start, QWidget* parent);

public slots:
    // "Publish": writes the publication, then says what was written (and offers to open it), or
    // why not. On success the dialog closes; on failure it stays for another try.
    void publish();
    void browse();
    // Cancel: while uploading, stops the upload (the site stays as it was); otherwise closes.
    void reject() override;

private:
    void createControls();
    void layOutControls();
    void describeForAssistiveTechnology();
    void connectControls();
    const PublicationPlace& chosenPlace() const;
    QString chosenTarget() const;
    // Puts the default place for the chosen template and form, unless the user gave their own.
    void followDefaultTarget();
    // Says in the page title's field what the title is when it is left empty.
    void explainPageTitle();
    void reportSuccess(const PublishOutcome& outcome);
    bool uploadChosen() const;
    void showChosenPlace();
    void startUpload();
    void finishUpload(const UploadOutcome& outcome, const QString& effect);
    void setUploading(bool uploading);

    Services m_services;
    QComboBox* m_templateList = nullptr;
    QList<QRadioButton*> m_placeOptions; // one per place to publish, in the table's order
    QLineEdit* m_pageTitleField = nullptr;
    QLineEdit* m_targetField = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_publishButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    HostForm* m_hostForm = nullptr;
    QWidget* m_targetRow = nullptr;
    bool m_targetIsTheUsers = false;
    bool m_hostDetailsLoaded = false;
    bool m_uploading = false;
    std::atomic_bool m_cancel = false;
    QString m_acceptedFingerprint;
    QThread* m_worker = nullptr;
};

} // namespace lq
