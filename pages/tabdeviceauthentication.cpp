#include "tabdeviceauthentication.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextDocumentFragment>
#include <QUrl>
#include <QVBoxLayout>

TabDeviceauthentication::TabDeviceauthentication(const QString &strMessage, QWidget *parent)
    : QDialog(parent, Qt::WindowCloseButtonHint)
{
    m_messageLabel = new QLabel(strMessage);
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    // A link in the prompt can be reached with Tab and followed with Enter, as well as clicked; a
    // plain prompt stays out of the Tab order.
    if (Qt::mightBeRichText(strMessage))
        m_messageLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                                Qt::LinksAccessibleByKeyboard);
    connect(m_messageLabel, &QLabel::linkActivated, this, &TabDeviceauthentication::OpenUrl);

    m_passwordEdit = new QLineEdit;
    m_passwordEdit->setObjectName(QStringLiteral("passwordEdit"));
    m_passwordEdit->setEchoMode(QLineEdit::Password);
    m_passwordEdit->setAccessibleName(tr("Wi-Fi setup password"));
    // The prompt changes after a refused password; a screen reader reads it with the field, as
    // plain words even when the prompt is rich text.
    m_passwordEdit->setAccessibleDescription(
        Qt::mightBeRichText(strMessage) ? QTextDocumentFragment::fromHtml(strMessage).toPlainText()
                                        : strMessage);

    m_changePasswordCheck = new QCheckBox(tr("Change password"));
    m_changePasswordCheck->setObjectName(QStringLiteral("changePasswordCheck"));

    m_buttonBox =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal);
    connect(m_buttonBox, &QDialogButtonBox::accepted, this, &TabDeviceauthentication::accept);
    connect(m_buttonBox, &QDialogButtonBox::rejected, this, &TabDeviceauthentication::reject);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_messageLabel);
    layout->addWidget(m_passwordEdit);
    layout->addWidget(m_changePasswordCheck);
    layout->addWidget(m_buttonBox);
    setLayout(layout);

    setWindowTitle(tr("%1 - Wi-Fi Setup Tool").arg(QStringLiteral("Lumetra")));
    m_passwordEdit->setFocus(Qt::OtherFocusReason);
}

void TabDeviceauthentication::accept()
{
    // No check: the camera is the judge of the password, an empty one included.
    m_password = m_passwordEdit->text();
    m_changePassword = m_changePasswordCheck->isChecked();
    QDialog::accept();
}

void TabDeviceauthentication::OpenUrl(const QString &link)
{
    QDesktopServices::openUrl(QUrl(link));
}
