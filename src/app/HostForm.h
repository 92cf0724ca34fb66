#pragma once

#include "Upload.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QSpinBox;

namespace lq {

// The host's details in the Publish dialog: protocol, host, port, user, password or key file, and
// the remote folder, remembered between runs (the password only in the secret store), with the
// upload's progress in files and bytes below them.
class HostForm : public QGroupBox
{
    Q_OBJECT

public:
    explicit HostForm(QWidget* parent = nullptr);

    HostAddress address() const;
    HostLogin login() const;
    bool remembersPassword() const;
    // What is missing before an upload can start, or empty.
    QString missingDetail() const;

    // Fills the fields from the settings and the secret store; the password is looked up when the
    // host, user and protocol are known.
    void loadRemembered();
    void remember() const;
    void setPassword(const QString& password);

    void showProgress(const UploadProgress& progress);
    void hideProgress();
    // Locks the details while they travel.
    void setEditable(bool editable);
    // The fields from top to bottom, for the dialog's tab order.
    QList<QWidget*> fieldsInOrder() const;

private:
    void updateForProtocol();

    QComboBox* m_protocol = nullptr;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_rememberPassword = nullptr;
    QLabel* m_keyLabel = nullptr;
    QLineEdit* m_keyFile = nullptr;
    QLineEdit* m_folder = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressText = nullptr;
};

} // namespace lq
