#include "HostForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QSettings>
#include <QSpinBox>

namespace lq {

namespace {

const QString kGroup = QStringLiteral("upload/");

QString mebibytes(qint64 bytes)
{
    return QLocale().toString(double(bytes) / (1 << 20), 'f', 1);
}

} // namespace

HostForm::HostForm(QWidget* parent) : QGroupBox(QStringLiteral("Web host"), parent)
{
    setObjectName(QStringLiteral("frmeHost"));
    m_protocol = new QComboBox(this);
    m_protocol->setObjectName(QStringLiteral("cboProtocol"));
    for (const HostProtocolInfo& row : hostProtocols())
        m_protocol->addItem(row.label, int(row.protocol));
    m_host = new QLineEdit(this);
    m_host->setObjectName(QStringLiteral("txtHost"));
    m_host->setPlaceholderText(QStringLiteral("ftp.example.org"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("txtPort"));
    m_port->setRange(0, 65535);
    m_port->setSpecialValueText(QStringLiteral("usual"));
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("txtUser"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_rememberPassword =
        new QCheckBox(QStringLiteral("Keep it in the desktop's password store"), this);
    m_rememberPassword->setObjectName(QStringLiteral("chkRememberPassword"));
    m_rememberPassword->setChecked(true);
    m_keyFile = new QLineEdit(this);
    m_keyFile->setObjectName(QStringLiteral("txtKeyFile"));
    m_keyFile->setPlaceholderText(QStringLiteral("none: the password, or ssh-agent"));
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("txtRemoteFolder"));
    m_folder->setPlaceholderText(QStringLiteral("public_html, or /var/www/site"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setObjectName(QStringLiteral("prgUpload"));
    m_progressText = new QLabel(this);
    m_progressText->setObjectName(QStringLiteral("lblProgress"));

    auto* layout = new QFormLayout(this);
    const auto row = [&](const QString& label, QWidget* field, const QString& name) {
        auto* caption = new QLabel(label, this);
        caption->setBuddy(field);
        field->setAccessibleName(name);
        layout->addRow(caption, field);
        return caption;
    };
    row(QStringLiteral("Proto&col:"), m_protocol, QStringLiteral("Protocol"));
    row(QStringLiteral("Host &name:"), m_host, QStringLiteral("Host"));
    row(QStringLiteral("Po&rt:"), m_port, QStringLiteral("Port"));
    row(QStringLiteral("&User:"), m_user, QStringLiteral("User"));
    row(QStringLiteral("Passwor&d:"), m_password, QStringLiteral("Password"));
    layout->addRow(QString(), m_rememberPassword);
    m_keyLabel = row(QStringLiteral("&Key file:"), m_keyFile, QStringLiteral("Key file"));
    row(QStringLiteral("Remote &folder:"), m_folder, QStringLiteral("Remote folder"));
    layout->addRow(m_progressBar);
    layout->addRow(m_progressText);
    hideProgress();

    connect(m_protocol, &QComboBox::currentIndexChanged, this, &HostForm::updateForProtocol);
    updateForProtocol();
}

QList<QWidget*> HostForm::fieldsInOrder() const
{
    return {m_protocol,         m_host,    m_port,  m_user, m_password,
            m_rememberPassword, m_keyFile, m_folder};
}

void HostForm::updateForProtocol()
{
    const bool ssh = address().protocol == HostProtocol::Sftp;
    m_keyLabel->setVisible(ssh);
    m_keyFile->setVisible(ssh);
}

HostAddress HostForm::address() const
{
    HostAddress address;
    address.protocol = HostProtocol(m_protocol->currentData().toInt());
    address.host = m_host->text().trimmed();
    address.port = m_port->value();
    address.user = m_user->text().trimmed();
    address.folder = m_folder->text().trimmed();
    while (address.folder.size() > 1 && address.folder.endsWith(QLatin1Char('/')))
        address.folder.chop(1);
    return address;
}

HostLogin HostForm::login() const
{
    HostLogin login{m_password->text(), QString()};
    if (address().protocol == HostProtocol::Sftp)
        login.keyFile = m_keyFile->text().trimmed();
    return login;
}

bool HostForm::remembersPassword() const
{
    return m_rememberPassword->isChecked();
}

QString HostForm::missingDetail() const
{
    if (m_host->text().trimmed().isEmpty())
        return QStringLiteral("Type the name of your web host, as your provider gives it.");
    if (m_user->text().trimmed().isEmpty() && address().protocol != HostProtocol::Ftps)
        return QStringLiteral("Type your user name at the web host.");
    return {};
}

void HostForm::loadRemembered()
{
    QSettings settings;
    const int protocol = m_protocol->findData(settings.value(kGroup + "protocol", 0).toInt());
    m_protocol->setCurrentIndex(protocol >= 0 ? protocol : 0);
    m_host->setText(settings.value(kGroup + "host").toString());
    m_port->setValue(settings.value(kGroup + "port", 0).toInt());
    m_user->setText(settings.value(kGroup + "user").toString());
    m_keyFile->setText(settings.value(kGroup + "keyFile").toString());
    m_folder->setText(settings.value(kGroup + "folder").toString());
}

void HostForm::remember() const
{
    QSettings settings;
    const HostAddress now = address();
    settings.setValue(kGroup + "protocol", int(now.protocol));
    settings.setValue(kGroup + "host", now.host);
    settings.setValue(kGroup + "port", now.port);
    settings.setValue(kGroup + "user", now.user);
    settings.setValue(kGroup + "keyFile", login().keyFile);
    settings.setValue(kGroup + "folder", now.folder);
}

void HostForm::setPassword(const QString& password)
{
    m_password->setText(password);
}

void HostForm::showProgress(const UploadProgress& progress)
{
    m_progressBar->setVisible(true);
    m_progressText->setVisible(true);
    m_progressBar->setRange(0, 1000);
    m_progressBar->setValue(
        progress.bytesTotal > 0 ? int(progress.bytesDone * 1000 / progress.bytesTotal) : 0);
    m_progressText->setText(
        QStringLiteral("%1 of %2 files, %3 of %4 MiB")
            .arg(progress.filesDone)
            .arg(progress.filesTotal)
            .arg(mebibytes(progress.bytesDone), mebibytes(progress.bytesTotal)));
}

void HostForm::hideProgress()
{
    m_progressBar->setVisible(false);
    m_progressText->setVisible(false);
}

void HostForm::setEditable(bool editable)
{
    for (QWidget* field :
         std::initializer_list<QWidget*>{m_protocol, m_host, m_port, m_user, m_password,
                                         m_rememberPassword, m_keyFile, m_folder})
        field->setEnabled(editable);
}

} // namespace lq
