#include "tabcameraaddress.h"

#include <QDialogButtonBox>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

TabCameraAddress::TabCameraAddress(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Lumetra - Wi-Fi Setup Tool"));

    auto *textLabel = new QLabel(
        tr("Enter the host name or IPv4 address of your camera, for example 192.168.1.20 or "
           "nomo-0123.local.<br/>Your router's list of connected devices shows it."));
    textLabel->setWordWrap(true);

    m_addressEdit = new QLineEdit;
    m_addressEdit->setObjectName(QStringLiteral("addressEdit"));
    m_addressEdit->setAccessibleName(tr("Camera address"));
    textLabel->setBuddy(m_addressEdit);

    auto *buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttonBox->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &TabCameraAddress::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &TabCameraAddress::reject);

    auto *layout = new QVBoxLayout;
    layout->addWidget(textLabel);
    layout->addWidget(m_addressEdit);
    layout->addWidget(buttonBox);
    setLayout(layout);
    setMinimumWidth(420);
}

QString TabCameraAddress::address() const
{
    return m_addressEdit->text();
}

QString TabCameraAddress::refusal(const QString &address)
{
    if (address.isEmpty())
        return tr("Please enter the camera's address.");
    QString bare = address;
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    if (QHostAddress(bare).protocol() == QAbstractSocket::IPv6Protocol)
        return tr("IPv6 addresses are not supported: please enter an IPv4 address.");
    static const QRegularExpression blank(QStringLiteral("\\s"));
    if (address.contains(blank))
        return tr("The address must not contain blanks.");
    if (address.contains(QLatin1Char('@')))
        return tr("The address must not contain \"@\".");
    if (address.contains(QLatin1Char(':')))
        return tr("The address must not contain \":\" (no port).");
    // All digits and dots: meant as an IPv4 address, so it must be a whole one.
    static const QRegularExpression numeric(QStringLiteral("^[0-9.]+$"));
    static const QRegularExpression dottedQuad(
        QStringLiteral("^(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])"
                       "(\\.(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])){3}$"));
    if (numeric.match(address).hasMatch()) {
        if (!dottedQuad.match(address).hasMatch())
            return tr("\"%1\" is not a valid IPv4 address.").arg(address);
        return QString();
    }
    // Labels of letters, digits, "-" and "_" between dots; the URL takes nothing else.
    static const QRegularExpression hostName(QStringLiteral(
        "^[A-Za-z0-9_]([A-Za-z0-9_-]{0,62})(\\.[A-Za-z0-9_][A-Za-z0-9_-]{0,62})*\\.?$"));
    if (address.size() > 253 || !hostName.match(address).hasMatch())
        return tr("\"%1\" is not a valid host name or IPv4 address.").arg(address);
    return QString();
}

void TabCameraAddress::accept()
{
    const QString problem = refusal(address());
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, tr("Lumetra - Wi-Fi Setup Tool"), problem);
        m_addressEdit->setFocus();
        return;
    }
    QDialog::accept();
}
