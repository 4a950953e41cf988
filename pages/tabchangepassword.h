#pragma once

#include <QDialog>

class QDialogButtonBox;
class QLineEdit;

// Creates or changes the camera's Wi-Fi setup password. A non-empty current password is shown
// masked and read-only. OK closes the dialog only for a new password of at least 4 characters that
// matches its confirmation; "Skip", Escape and the close button reject it.
class TabChangePassword : public QDialog
{
    Q_OBJECT

public:
    TabChangePassword(QWidget *parent, const QString &strPassword);

    // Valid after the dialog was accepted.
    QString newPassword() const { return m_newPassword; }

    void accept() override;

private:
    QString m_newPassword;
    QLineEdit *m_oldPasswordEdit = nullptr;
    QLineEdit *m_newPasswordEdit = nullptr;
    QLineEdit *m_confirmPasswordEdit = nullptr;
    QDialogButtonBox *m_buttonBox = nullptr;
};
