#include "tabcommunicationresults.h"

#include "resources/nomoresources.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#ifndef NOMO_DOWNLOAD_URL
#error "NOMO_DOWNLOAD_URL must be defined by the build (see pages/CMakeLists.txt)"
#endif

QString getHtmlString(const QString &text, const QString &colour)
{
    return QStringLiteral("<html ><font  Color=\"%1\"><body>%2</body></html>")
        .arg(colour)
        .arg(text);
}

TabCommunicationResults::TabCommunicationResults(QWidget *parent, int tabIndex)
    : QWidget(parent), m_tabIndex(tabIndex)
{
    nomoEnsureResources();

    m_logoLabel = new QLabel;
    m_logoLabel->setPixmap(QPixmap(QStringLiteral(":/images/Lumetra_small.png")));
    m_logoLabel->setAlignment(Qt::AlignRight);
    m_logoLabel->setAccessibleName(tr("Lumetra logo"));

    m_backgroundLabel = new QLabel;
    m_backgroundLabel->setObjectName(QStringLiteral("backgroundLabel"));
    m_backgroundLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_backgroundLabel->setPixmap(QPixmap(QStringLiteral(":/images/bkg.png")));
    m_backgroundLabel->hide();
    m_backgroundLabel->setAccessibleName(tr("Camera picture"));

    m_textLabel = new QLabel;
    m_textLabel->setObjectName(QStringLiteral("textLabel"));
    m_textLabel->setTextFormat(Qt::AutoText);
    m_textLabel->setWordWrap(false);
    // The download link can be reached with Tab and followed with Enter, as well as clicked.
    m_textLabel->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(m_textLabel, &QLabel::linkActivated, this, &TabCommunicationResults::OpenUrl);

    m_exitButton = new QPushButton(tr("Exit"));
    m_exitButton->setMinimumWidth(100);
    m_returnButton = new QPushButton(tr("Return to Wi-Fi Setup"));
    m_buttonBox = new QDialogButtonBox(Qt::Horizontal);
    m_buttonBox->addButton(m_exitButton, QDialogButtonBox::ActionRole);
    m_buttonBox->addButton(m_returnButton, QDialogButtonBox::ActionRole);
    connect(m_returnButton, &QPushButton::clicked, this,
            &TabCommunicationResults::OnConfigureButtonClicked);
    connect(m_exitButton, &QPushButton::clicked, this,
            &TabCommunicationResults::OnQuitButtonClicked);

    auto *layout = new QVBoxLayout;
    layout->addWidget(m_logoLabel);
    layout->addWidget(m_backgroundLabel, 1, Qt::AlignHCenter);
    layout->addWidget(m_textLabel);
    layout->addWidget(m_buttonBox);
    setLayout(layout);
}

QString TabCommunicationResults::downloadUrl()
{
    return QStringLiteral(NOMO_DOWNLOAD_URL);
}

void TabCommunicationResults::setTextAndImage(enmComResult result, const QPixmap &image)
{
    if (result == ComResultSuccess) {
        m_backgroundLabel->show();
        m_returnButton->hide();
    }
    m_textLabel->setText(message(result));
    m_backgroundLabel->setPixmap(image);
}

QString TabCommunicationResults::message(enmComResult result)
{
    const QString black = QStringLiteral("black");
    const QString failed =
        tr("The Lumetra Wi-Fi setup could not be completed.  Click the <b>''Return to Wi-Fi "
           "Setup''</b> button to try again. <br/><br/> For troubleshooting information, refer "
           "to the Lumetra Installation Guide.");
    switch (result) {
    case ComResultVersionNotCurrent: {
        const QString url = downloadUrl();
        return getHtmlString(
            tr("This version of the Lumetra - WiFi Setup Tool is not current. <br/> Click "
               "<b>''Exit''</b> and go to <a href=\"%1\" target=\"_blank\">%2</a> to download "
               "the latest version. <br/><br/> ")
                .arg(url, QStringLiteral("<b>") + url + QStringLiteral("</b>")),
            black);
    }
    case ComResultFailed:
    case ComResultErrorReported:
        return getHtmlString(failed, black);
    case ComResultSuccess:
        return getHtmlString(
            tr("The Lumetra device is now connected to the wireless network. <br/>Click "
               "<b>''Exit''</b> to finish. To install Lumetra, refer to Lumetra Installation "
               "Guide.<br/>."),
            black);
    case ComResultCancelled:
        return getHtmlString(
            tr("Are you sure you want to exit the Lumetra Wi-Fi Setup?  <br/> To set up or "
               "update the WiFi settings, click the <b>''Return to Wi-Fi Setup''</b> button. "
               "<br/><br/> For troubleshooting information, refer to the Lumetra Installation "
               "Guide. "),
            black);
    case ComResultNoInternet:
        return getHtmlString(
            tr("The Lumetra device cannot connect to the Internet. <br/> Please check the router "
               "and firewall to verify ports 123, 80, and 443 are open and then click the "
               "<br/><b>''Return to Wi-Fi Setup''</b> button to try again. <br/><br/>For "
               "troubleshooting information, refer to the Lumetra Installation Guide."),
            black);
    case ComResultNoReply:
        return getHtmlString(
            tr("The Lumetra Wi-Fi setup cannot be completed at this time.<br/></br>For "
               "troubleshooting information, refer to the Lumetra Installation Guide."),
            black);
    case ComResultWifiUnavailable:
        return getHtmlString(
            tr("Wi-Fi unavailable.  Please check hardware and network settings. <br/><br/> For "
               "troubleshooting information, refer to the Lumetra Installation Guide."),
            black);
    case ComResultError503:
    default:
        // No text of its own: the page shows only its buttons.
        break;
    }
    return QString();
}

void TabCommunicationResults::OnConfigureButtonClicked()
{
    m_backgroundLabel->hide();
    m_textLabel->setText(QString());
    Q_EMIT MoveTabSignal(0);
}

void TabCommunicationResults::OnQuitButtonClicked()
{
    QCoreApplication::quit();
}

void TabCommunicationResults::OpenUrl(const QString &link)
{
    QDesktopServices::openUrl(QUrl(link));
}
