#include "PublishDialog.h"

#include "HostForm.h"
#include "InstalledFiles.h"
#include "Messages.h"
#include "Tables.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>

namespace lq {

namespace {

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Whether the template has a title text of its own, which a published page takes as its title.
bool hasTitleText(const QString& effectName)
{
    for (const ContentFile& file : contentFiles()) {
        if (file.effectName == effectName && file.holdsSiteTitle())
            return true;
    }
    return false;
}

// Held while publishing: the window cannot react for that second, so say it is busy.
class BusyCursor
{
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

PublishDialog::PublishDialog(const QString& effectName, Services services, QWidget* parent)
    : QDialog(parent), m_services(std::move(services))
{
    setObjectName(QStringLiteral("frmpublish"));
    setWindowTitle(QStringLiteral("Publish for the Web"));
    createControls();
    layOutControls();
    describeForAssistiveTechnology();
    // The effect list's text counts only when it names a template exactly, as everywhere else.
    const int named =
        m_templateList->findText(effectName, Qt::MatchExactly | Qt::MatchCaseSensitive);
    m_templateList->setCurrentIndex(named >= 0 ? named : 0);
    followDefaultTarget();
    explainPageTitle();
    connectControls();
    showChosenPlace();
}

PublishDialog::~PublishDialog()
{
    if (!m_worker)
        return;
    m_cancel = true;
    m_worker->wait();
}

QString PublishDialog::userDocumentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString PublishDialog::installedDataFolder()
{
    return installedFolder(QCoreApplication::applicationDirPath(), InstalledKind::Data);
}

QString PublishDialog::askForTarget(PublicationForm form, const QString& start, QWidget* parent)
{
    const PublicationPlace& place = placeOf(form);
    switch (place.targetKind) {
    case TargetKind::Folder:
        return QFileDialog::getExistingDirectory(parent, place.browseCaption, start);
    case TargetKind::File:
        return QFileDialog::getSaveFileName(parent, place.browseCaption, start, place.browseFilter);
    case TargetKind::Host:
        break;
    }
    return {};
}

void PublishDialog::createControls()
{
    m_templateList = new QComboBox(this);
    m_templateList->setObjectName(QStringLiteral("cboTemplate"));
    m_templateList->addItems(publishableEffects());

    for (const PublicationPlace& place : publicationPlaces()) {
        auto* option = new QRadioButton(place.label, this);
        option->setObjectName(place.controlName);
        m_placeOptions << option;
    }
    m_placeOptions.first()->setChecked(true);
    m_hostForm = new HostForm(this);

    m_pageTitleField = new QLineEdit(this);
    m_pageTitleField->setObjectName(QStringLiteral("txtPageTitle"));
    m_pageTitleField->setClearButtonEnabled(true);

    m_targetField = new QLineEdit(this);
    m_targetField->setObjectName(QStringLiteral("txtTarget"));
    m_targetField->setMinimumWidth(420);
    m_browseButton = new QPushButton(QStringLiteral("&Browse\u2026"), this);
    m_browseButton->setObjectName(QStringLiteral("cmdBrowse"));
    m_browseButton->setAutoDefault(false);

    m_publishButton = new QPushButton(QStringLiteral("&Publish"), this);
    m_publishButton->setObjectName(QStringLiteral("cmdPublish"));
    // Enter anywhere in the dialog publishes; Escape is the dialog's own Cancel.
    m_publishButton->setDefault(true);
    m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancelButton->setObjectName(QStringLiteral("cmdCancel"));
    m_cancelButton->setAutoDefault(false);
}

void PublishDialog::layOutControls()
{
    auto* templateLabel = new QLabel(QStringLiteral("&Template:"), this);
    templateLabel->setObjectName(QStringLiteral("lblTemplate"));
    templateLabel->setBuddy(m_templateList);
    auto* pageTitleLabel = new QLabel(QStringLiteral("Page t&itle:"), this);
    pageTitleLabel->setObjectName(QStringLiteral("lblPageTitle"));
    pageTitleLabel->setBuddy(m_pageTitleField);
    auto* targetLabel = new QLabel(QStringLiteral("&Save to:"), this);
    targetLabel->setObjectName(QStringLiteral("lblTarget"));
    targetLabel->setBuddy(m_targetField);

    auto* formFrame = new QGroupBox(QStringLiteral("Publish as"), this);
    formFrame->setObjectName(QStringLiteral("frmeForm"));
    auto* formLayout = new QVBoxLayout(formFrame);
    for (QRadioButton* option : std::as_const(m_placeOptions))
        formLayout->addWidget(option);

    m_targetRow = new QWidget(this);
    auto* targetRow = new QHBoxLayout(m_targetRow);
    targetRow->setContentsMargins(0, 0, 0, 0);
    targetRow->addWidget(targetLabel);
    targetRow->addWidget(m_targetField, 1);
    targetRow->addWidget(m_browseButton);

    auto* fields = new QFormLayout;
    fields->addRow(templateLabel, m_templateList);
    fields->addRow(pageTitleLabel, m_pageTitleField);
    fields->addRow(formFrame);
    fields->addRow(m_targetRow);
    fields->addRow(m_hostForm);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_publishButton);
    buttons->addWidget(m_cancelButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    setTabOrder(m_templateList, m_pageTitleField);
    QWidget* previous = m_pageTitleField;
    for (QRadioButton* option : std::as_const(m_placeOptions)) {
        setTabOrder(previous, option);
        previous = option;
    }
    setTabOrder(previous, m_targetField);
    setTabOrder(m_targetField, m_browseButton);
    previous = m_browseButton;
    for (QWidget* field : m_hostForm->fieldsInOrder()) { // one of the two rows is hidden
        setTabOrder(previous, field);
        previous = field;
    }
    setTabOrder(previous, m_publishButton);
    setTabOrder(m_publishButton, m_cancelButton);
}

void PublishDialog::describeForAssistiveTechnology()
{
    // The labels are the buddies of their fields; the names are spelled out so that a screen
    // reader says them without the colon and the mnemonic.
    m_templateList->setAccessibleName(QStringLiteral("Template"));
    m_templateList->setAccessibleDescription(QStringLiteral("The effect whose movie and saved "
                                                            "texts are published"));
    m_pageTitleField->setAccessibleName(QStringLiteral("Page title"));
    m_targetField->setAccessibleName(QStringLiteral("Save to"));
    m_targetField->setAccessibleDescription(
        QStringLiteral("The folder, or the page's file, that publishing writes"));
    m_browseButton->setAccessibleDescription(QStringLiteral("Choose where to save"));
}

void PublishDialog::connectControls()
{
    connect(m_templateList, &QComboBox::currentIndexChanged, this,
            &PublishDialog::followDefaultTarget);
    connect(m_templateList, &QComboBox::currentIndexChanged, this,
            &PublishDialog::explainPageTitle);
    for (QRadioButton* option : std::as_const(m_placeOptions)) {
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            if (!checked)
                return;
            followDefaultTarget();
            showChosenPlace();
        });
    }
    // Only what the user types makes the place theirs; the dialog's own changes do not.
    connect(m_targetField, &QLineEdit::textEdited, this, [this] { m_targetIsTheUsers = true; });
    connect(m_browseButton, &QPushButton::clicked, this, &PublishDialog::browse);
    connect(m_publishButton, &QPushButton::clicked, this, &PublishDialog::publish);
    connect(m_cancelButton, &QPushButton::clicked, this, &PublishDialog::reject);
    // The style draws the focus frame only after Tab was pressed in the window; the dialog
    // opens with the focus in the template list and mnemonics move it, so show it always.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (!now || now->window() != this)
            return;
        setAttribute(Qt::WA_KeyboardFocusChange);
        now->update();
    });
}

const PublicationPlace& PublishDialog::chosenPlace() const
{
    for (qsizetype i = 0; i < m_placeOptions.size(); ++i) {
        if (m_placeOptions.at(i)->isChecked())
            return publicationPlaces().at(i);
    }
    return publicationPlaces().first();
}

// The place as typed: on the disk, "~" is the home folder, and a bare name lies in the Documents
// folder.
QString PublishDialog::chosenTarget() const
{
    QString typed = m_targetField->text().trimmed();
    if (typed.isEmpty() || chosenPlace().targetKind == TargetKind::Host)
        return typed; // a URL, as typed
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed.replace(0, 1, QDir::homePath());
    return QDir::cleanPath(QDir(m_services.documentsFolder).absoluteFilePath(typed));
}

void PublishDialog::followDefaultTarget()
{
    if (m_targetIsTheUsers)
        return;
    m_targetField->setText(native(defaultPublicationTarget(
        m_templateList->currentText(), chosenPlace().form, m_services.documentsFolder)));
}

void PublishDialog::explainPageTitle()
{
    const bool own = hasTitleText(m_templateList->currentText());
    const QString explanation =
        own ? QStringLiteral("Used where the site's title text is empty")
            : QStringLiteral("Left empty: the first words of the first text");
    m_pageTitleField->setPlaceholderText(explanation);
    m_pageTitleField->setAccessibleDescription(
        QStringLiteral("The title of the published page, shown in the browser's tab and by search "
                       "engines. ") +
        explanation);
}

void PublishDialog::browse()
{
    const QString start = chosenTarget().isEmpty() ? m_services.documentsFolder : chosenTarget();
    const QString chosen = m_services.chooseTarget(chosenPlace().form, start, this);
    if (chosen.isEmpty())
        return;
    m_targetIsTheUsers = true;
    m_targetField->setText(native(chosen));
}

bool PublishDialog::uploadChosen() const
{
    return chosenPlace().targetKind == TargetKind::Host;
}

// A place on this machine, or the host's details; those are read from the settings and the
// secret store the first time they are shown.
void PublishDialog::showChosenPlace()
{
    m_targetRow->setVisible(!uploadChosen());
    m_hostForm->setVisible(uploadChosen());
    if (uploadChosen() && !m_hostDetailsLoaded) {
        m_hostDetailsLoaded = true;
        m_hostForm->loadRemembered();
        if (!m_hostForm->address().host.isEmpty() && m_services.readPassword)
            m_hostForm->setPassword(m_services.readPassword(m_hostForm->address()));
    }
    adjustSize();
}

void PublishDialog::publish()
{
    if (uploadChosen()) {
        m_acceptedFingerprint.clear();
        startUpload();
        return;
    }
    const PublishRequest request{.effectName = m_templateList->currentText(),
                                 .form = chosenPlace().form,
                                 .target = chosenTarget(),
                                 .dataFolder = m_services.dataFolder,
                                 .pageTitle = m_pageTitleField->text().trimmed()};
    if (request.target.isEmpty()) {
        Messages::show(QStringLiteral("Type where to publish \u201C%1\u201D, or choose a place "
                                      "with Browse\u2026.")
                           .arg(request.effectName));
        m_targetField->setFocus();
        return;
    }
    PublishOutcome outcome;
    {
        BusyCursor busy;
        outcome = m_services.publish(request);
    }
    if (!outcome.ok) {
        Messages::show(outcome.error);
        return;
    }
    accept();
    reportSuccess(outcome);
}

void PublishDialog::reportSuccess(const PublishOutcome& outcome)
{
    const PublicationPlace& place = chosenPlace();
    QString text = place.publishedText.arg(m_templateList->currentText(), native(outcome.written));
    if (!outcome.missingContentFiles.isEmpty())
        text += QStringLiteral("\n\nThese content files were not there, so their texts are "
                               "missing:\n%1\nSave those boxes and publish again.")
                    .arg(outcome.missingContentFiles.join(QLatin1Char('\n')));
    if (!m_services.open) {
        Messages::show(text);
        return;
    }
    if (!Messages::offer(text, place.openAction))
        return;
    if (!m_services.open(outcome.written))
        Messages::show(QStringLiteral("No program could be started to show \u201C%1\u201D. You can "
                                      "open it yourself.")
                           .arg(native(outcome.written)));
}

void PublishDialog::reject()
{
    if (m_uploading) {
        m_cancel = true; // the worker stops at the next piece and leaves the site as it was
        m_cancelButton->setEnabled(false);
        return;
    }
    QDialog::reject();
}

void PublishDialog::setUploading(bool uploading)
{
    m_uploading = uploading;
    m_hostForm->setEditable(!uploading);
    m_templateList->setEnabled(!uploading);
    m_publishButton->setEnabled(!uploading);
    for (QRadioButton* option : std::as_const(m_placeOptions))
        option->setEnabled(!uploading);
    m_cancelButton->setEnabled(true);
    if (!uploading)
        m_hostForm->hideProgress();
}

void PublishDialog::startUpload()
{
    if (const QString missing = m_hostForm->missingDetail(); !missing.isEmpty()) {
        Messages::show(missing);
        return;
    }
    const HostAddress address = m_hostForm->address();
    if (!hostProtocolInfo(address.protocol).encrypted &&
        !Messages::offer(QStringLiteral("Plain FTP sends your password and your site readable by "
                                        "anyone on the way. Use SFTP, FTPS or WebDAV if your host "
                                        "offers one."),
                         QStringLiteral("&Send Readable")))
        return;
    UploadRequest request;
    request.remote.address = address;
    request.remote.login = m_hostForm->login();
    request.remote.knownHostsFile = m_services.knownHostsFile;
    request.remote.acceptedFingerprint = m_acceptedFingerprint;
    const QString effect = m_templateList->currentText();
    const QString pageTitle = m_pageTitleField->text().trimmed();

    m_cancel = false;
    setUploading(true);
    m_hostForm->showProgress({});
    // Progress reaches the window at most every 50 ms, and whenever a file is done.
    auto report = [this, shown = QElapsedTimer(),
                   files = -1](const UploadProgress& progress) mutable {
        if (shown.isValid() && shown.elapsed() < 50 && progress.filesDone == files)
            return;
        shown.start();
        files = progress.filesDone;
        QMetaObject::invokeMethod(
            this, [this, progress] { m_hostForm->showProgress(progress); }, Qt::QueuedConnection);
    };
    m_worker = QThread::create([this, request, report, effect, pageTitle] {
        const UploadOutcome uploaded = uploadTemplate(
            {.effectName = effect, .dataFolder = m_services.dataFolder, .pageTitle = pageTitle},
            request, m_services.publish, m_services.upload, report, &m_cancel);
        QMetaObject::invokeMethod(
            this, [this, uploaded, effect] { finishUpload(uploaded, effect); },
            Qt::QueuedConnection);
    });
    connect(m_worker, &QThread::finished, m_worker, &QObject::deleteLater);
    m_worker->start();
}

void PublishDialog::finishUpload(const UploadOutcome& outcome, const QString& effect)
{
    m_worker->wait();
    m_worker = nullptr;
    setUploading(false);
    const HostAddress address = m_hostForm->address();
    if (awaitsTrust(outcome.problem) && !outcome.fingerprint.isEmpty()) {
        const QString question =
            QStringLiteral("This is the first upload to %1, and no authority vouches for it. Its "
                           "key's fingerprint is\n\n%2\n\nCompare it with the one your host "
                           "gives you. Upload only if they are the same.")
                .arg(address.host, outcome.fingerprint);
        if (Messages::offer(question, QStringLiteral("&Accept and Upload"))) {
            m_acceptedFingerprint = outcome.fingerprint;
            startUpload();
        }
        return;
    }
    if (!outcome.ok) {
        Messages::show(outcome.error); // everything typed stays for another try
        return;
    }
    m_hostForm->remember();
    const HostLogin login = m_hostForm->login();
    if (m_hostForm->remembersPassword() && !login.password.isEmpty() && m_services.keepPassword)
        m_services.keepPassword(address, login.password);
    accept();
    Messages::show(
        outcome.filesSent == 0
            ? QStringLiteral("\u201C%1\u201D on %2 was up to date: nothing needed sending.")
                  .arg(effect, address.display())
            : QStringLiteral("\u201C%1\u201D is on your web host at %2: %3 files sent, %4 "
                             "removed.")
                  .arg(effect, address.display())
                  .arg(outcome.filesSent)
                  .arg(outcome.filesRemoved));
}

} // namespace lq
