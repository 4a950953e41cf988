#include "tabchangepassword.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

TabChangePassword::TabChangePassword(QWidget *parent, const QString &strPassword)
    : QDialog(parent, Qt::WindowCloseButtonHint)
{
    auto *layout = new QFormLayout;
    layout->addRow(new QLabel(tr("Create a password for Wi-Fi configuration settings.")));

    if (!strPassword.isEmpty()) {
        m_oldPasswordEdit = new QLineEdit(strPassword);
        m_oldPasswordEdit->setObjectName(QStringLiteral("oldPasswordEdit"));
        m_oldPasswordEdit->setEchoMode(QLineEdit::Password);
        m_oldPasswordEdit->setEnabled(false);
        m_oldPasswordEdit->setAccessibleName(tr("Old password"));
        layout->addRow(tr("Old Password :"), m_oldPasswordEdit);
    }

    m_newPasswordEdit = new QLineEdit;
    m_newPasswordEdit->setObjectName(QStringLiteral("newPasswordEdit"));
    m_newPasswordEdit->setEchoMode(QLineEdit::Password);
    m_newPasswordEdit->setAccessibleName(tr("New password"));
    m_newPasswordEdit->setAccessibleDescription(tr("At least 4 characters"));
    layout->addRow(tr("New Password :"), m_newPasswordEdit);

    m_confirmPasswordEdit = new QLineEdit;
    m_confirmPasswordEdit->setObjectName(QStringLiteral("confirmPasswordEdit"));
    m_confirmPasswordEdit->setEchoMode(QLineEdit::Password);
    m_confirmPasswordEdit->setAccessibleName(tr("Confirm new password"));
    layout->addRow(tr("Confirm New Password :"), m_confirmPasswordEdit);

    layout->addRow(new QLabel(tr("<html><body><b>IMPORTANT: Record password for any future Wi-Fi "
                                 "configuration changes.</b></body></html>")));

    m_buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok, Qt::Horizontal);
    m_buttonBox->addButton(tr("Skip"), QDialogButtonBox::RejectRole);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &TabChangePassword::accept);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &TabChangePassword::reject);
    layout->addRow(m_buttonBox);

    setLayout(layout);
    setWindowTitle(tr("%1 - Wi-Fi Setup Tool").arg(QStringLiteral("Lumetra")));
    m_newPasswordEdit->setFocus(Qt::OtherFocusReason);
}

void TabChangePassword::accept()
{
    const QString confirmation = m_confirmPasswordEdit->text();
    m_newPassword = m_newPasswordEdit->text();

    // The boxes belong to the page behind the dialog, as the rest of the session's messages do.
    if (m_newPassword.length() < 4) {
        QMessageBox::critical(parentWidget(), tr("Error !"),
                              tr("Pasword must be at least 4 letters "), QMessageBox::Ok);
        m_newPasswordEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (m_newPassword != confirmation) {
        QMessageBox::critical(parentWidget(), tr("Error !"),
                              tr("New Password and Confirmation Password do not match. "),
                              QMessageBox::Ok);
        m_newPasswordEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}
