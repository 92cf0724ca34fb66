#pragma once

#include "Publishing.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace lq {

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

    // What the dialog works with; the defaults are the real ones.
    struct Services
    {
        Publisher publish = publishTemplate;
        Opener open;
        TargetChooser chooseTarget = askForTarget;
        QString documentsFolder = userDocumentsFolder();
        QString dataFolder = installedDataFolder();
    };

    // effectName is the effect list's text: it presets the template when it names one.
    PublishDialog(const QString& effectName, Services services, QWidget* parent = nullptr);

    static QString userDocumentsFolder();
    static QString installedDataFolder();
    // The file dialog behind "Browse…".
    static QString askForTarget(PublicationForm form, const QString& start, QWidget* parent);

public slots:
    // "Publish": writes the publication, then says what was written (and offers to open it), or
    // why not. On success the dialog closes; on failure it stays for another try.
    void publish();
    void browse();

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

    Services m_services;
    QComboBox* m_templateList = nullptr;
    QList<QRadioButton*> m_placeOptions; // one per place to publish, in the table's order
    QLineEdit* m_pageTitleField = nullptr;
    QLineEdit* m_targetField = nullptr;
    QPushButton* m_browseButton = nullptr;
    QPushButton* m_publishButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
    bool m_targetIsTheUsers = false;
};

} // namespace lq
