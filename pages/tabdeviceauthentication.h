#pragma once

#include <QDialog>

class QCheckBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

// Asks for the camera's Wi-Fi setup password. Built on the stack for one question, run with exec()
// and read by the caller only when it returned Accepted; Cancel, Escape and the close button
// reject.
class TabDeviceauthentication : public QDialog
{
    Q_OBJECT

public:
    TabDeviceauthentication(const QString &strMessage, QWidget *parent);

    // Valid after the dialog was accepted.
    QString password() const { return m_password; }
    bool changePassword() const { return m_changePassword; }

    void accept() override;

public Q_SLOTS:
    void OpenUrl(const QString &link);

private:
    QString m_password;
    bool m_changePassword = false;
    QLabel *m_messageLabel = nullptr;
    QLineEdit *m_passwordEdit = nullptr;
    QCheckBox *m_changePasswordCheck = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
};
