#include "agent/myhttpsagent.h"

#include "agent/agenttiming.h"
#include "agent/replyparsing.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QMetaEnum>
#include <QMetaMethod>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPixmap>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslError>
#include <QStringDecoder>
#include <QTextStream>
#include <QTime>
#include <QTimer>
#include <QUrl>

Q_LOGGING_CATEGORY(lcAgent, "lumetra.agent")

namespace {

const char logFileName[] = "log_nomo_wifi_setup.log";
const char firstSessionId[] = "m_sessionID";
const char keyTypeMappingVersion[] = "1.03.01.0082";

// A camera answers in a few hundred bytes; only the background image may be large.
constexpr qint64 replyLimit = 1024 * 1024;
constexpr qint64 imageReplyLimit = 32 * 1024 * 1024;

// Idle wake-up of every wait, so that no wait can outlive a missed event by more than this.
constexpr int waitWakeMs = 500;

const char hexDigits[] = "0123456789ABCDEF";

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The camera's percent-encoding: UTF-8, every byte but ASCII letters, digits and "-._~" as %XX.
QString pct(const QString &value)
{
    const QByteArray utf8 = value.toUtf8();
    QString out;
    out.reserve(utf8.size() * 3);
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            out += QLatin1Char(ch);
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(hexDigits[c >> 4]);
            out += QLatin1Char(hexDigits[c & 0xF]);
        }
    }
    return out;
}

// The URL text as the camera must receive it. QUrl's tolerant parsing escapes blanks and the like
// but, in Qt 6, re-encodes every "%" once a single one is not followed by two hex digits, and it
// reads the bytes as UTF-8. So a lone "%" and every non-ASCII character are escaped here first,
// and tolerant parsing only has the rest left to do.
QUrl commandUrl(const QString &urlText)
{
    const QByteArray utf8 = urlText.toUtf8();
    QByteArray encoded;
    encoded.reserve(utf8.size() + 16);
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8.at(i));
        if (c >= 0x80) {
            encoded += '%';
            encoded += hexDigits[c >> 4];
            encoded += hexDigits[c & 0xF];
        } else if (c == '%' && !(i + 2 < utf8.size() && isHexDigit(utf8.at(i + 1)) &&
                                 isHexDigit(utf8.at(i + 2)))) {
            encoded += "%25";
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return QUrl::fromEncoded(encoded, QUrl::TolerantMode);
}

// The setup password, the new password and the Wi-Fi key never reach the log or the trace: every
// command or URL text the agent builds passes through here before a line is made of it. A value
// runs up to the next "?" (the camera's separator; the secrets themselves are percent-encoded).
QString maskSecrets(QString text)
{
    static const QRegularExpression secret(QStringLiteral("((?:Pass|netpass)=)[^?]*"));
    return text.replace(secret, QStringLiteral("\\1********"));
}

// The reply text: the body up to its first zero byte, as UTF-8 when it is valid UTF-8 (a network
// name the camera reports must go back to it byte for byte), otherwise one character per byte.
QString decodeReplyText(const QByteArray &body)
{
    const qsizetype zero = body.indexOf('\0');
    const QByteArray bytes = zero < 0 ? body : body.left(zero);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

bool isErrorReply(const QString &text)
{
    return text.contains(QLatin1String("Error"), Qt::CaseInsensitive);
}

bool holds(const QString &text, const char *number)
{
    return text.contains(QLatin1String(number), Qt::CaseInsensitive);
}

// Keeps the event loop waking at least every waitWakeMs while a wait blocks in it.
class WakeTimer
{
public:
    WakeTimer() { m_timer.start(waitWakeMs); }

private:
    QTimer m_timer;
};

} // namespace

MyHttpsAgent::MyHttpsAgent(const QString &host, QProgressBar *progressBar)
    : QNetworkAccessManager(nullptr), m_progressBar(progressBar), m_host(host),
      m_replyLimit(replyLimit), m_resultTimer(new QTimer(this))
{
    qRegisterMetaType<enmComResult>();
    qRegisterMetaType<WIFINetworkEntry>();
    qRegisterMetaType<QList<WIFINetworkEntry>>();

    connect(this, &QNetworkAccessManager::finished, this, &MyHttpsAgent::httpRequestFinished);
    connect(this, &QNetworkAccessManager::sslErrors, this, &MyHttpsAgent::httpSslErrors);

    // The camera sits on the local network; a desktop proxy could not reach it.
    setProxy(QNetworkProxy::NoProxy);

    m_resultTimer->setSingleShot(true);
    m_resultTimer->setTimerType(Qt::PreciseTimer);
    connect(m_resultTimer, &QTimer::timeout, this, &MyHttpsAgent::OnTimeToGetResults);

    // A user who wants a session log creates the file; it is never created here.
    if (QFile::exists(QLatin1String(logFileName))) {
        auto file = std::make_unique<QFile>(QLatin1String(logFileName));
        if (file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text |
                       QIODevice::ExistingOnly)) {
            m_logFile = std::move(file);
            m_logStream = std::make_unique<QTextStream>(m_logFile.get());
        }
    }

    WriteLogMessage(QLatin1String("Connection to ") + host);
}

MyHttpsAgent::~MyHttpsAgent()
{
    // Replies still running are deleted here rather than by the base class, so that none of them
    // can call back into this half-destroyed object.
    m_currentReply = nullptr;
    disconnect(this, nullptr, this, nullptr);
    const auto replies = findChildren<QNetworkReply *>(Qt::FindDirectChildrenOnly);
    for (QNetworkReply *reply : replies) {
        reply->disconnect(this);
        delete reply;
    }
    m_logStream.reset();
    m_logFile.reset();
}

void MyHttpsAgent::Cancel()
{
    m_cancelRequested = true;
}

QString MyHttpsAgent::GetEncoderVersion() const
{
    return m_version;
}

void MyHttpsAgent::WriteLogMessage(const QString &message)
{
    qCDebug(lcAgent).noquote() << QTime::currentTime().toString() + QLatin1String(" - ") + message;
    if (m_logStream) {
        *m_logStream << message << '\n';
        m_logStream->flush();
    }
}

// ---- Transport --------------------------------------------------------------------------------

void MyHttpsAgent::issueGet(const QString &urlText)
{
    releaseFinishedReplies();
    abortCurrentReply();

    m_maskedUrl = maskSecrets(urlText);
    qCDebug(lcAgent).noquote() << m_maskedUrl;

    QNetworkRequest request(commandUrl(urlText));
    // The camera's own answer to every request is the reply, a redirect included.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    // A camera that drops off the wire mid-request must not hold the session for minutes.
    request.setTransferTimeout(AgentTiming::transferTimeoutMs());
    // Older camera firmware speaks only TLS 1.0 with old ciphers; the system's defaults refuse
    // those during the handshake, before any certificate question arises.
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.setProtocol(QSsl::AnyProtocol);
    ssl.setBackendConfigurationOption(QByteArrayLiteral("MinProtocol"), QByteArrayLiteral("TLSv1"));
    ssl.setBackendConfigurationOption(QByteArrayLiteral("CipherString"),
                                      QByteArrayLiteral("DEFAULT:@SECLEVEL=0"));
    request.setSslConfiguration(ssl);

    m_replyTooLarge = false;
    QNetworkReply *reply = get(request);
    m_currentReply = reply;
    connect(reply, &QNetworkReply::downloadProgress, this,
            [this, reply](qint64 received, qint64 total) {
                if (reply != m_currentReply || m_replyTooLarge)
                    return;
                if (received > m_replyLimit || total > m_replyLimit) {
                    m_replyTooLarge = true;
                    reply->abort();
                }
            });
}

void MyHttpsAgent::releaseFinishedReplies()
{
    const auto finished = std::exchange(m_finishedReplies, {});
    for (const QPointer<QNetworkReply> &reply : finished)
        delete reply.data();
}

void MyHttpsAgent::abortCurrentReply()
{
    if (QNetworkReply *reply = m_currentReply) {
        m_currentReply = nullptr;
        reply->abort();
    }
}

bool MyHttpsAgent::waitForReply()
{
    WakeTimer wake;
    while (!m_requestFinished) {
        if (m_cancelRequested) {
            abortCurrentReply();
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool MyHttpsAgent::pause(int ms)
{
    const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    WakeTimer wake;
    while (!deadline.hasExpired()) {
        if (m_cancelRequested)
            return false;
        if (!end.isActive())
            end.start(std::max<qint64>(1, deadline.remainingTime()));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return !m_cancelRequested;
}

bool MyHttpsAgent::waitForResultTimer(int ms)
{
    m_timeToGetResults = false;
    m_resultTimer->start(ms);
    WakeTimer wake;
    while (!m_timeToGetResults) {
        if (m_cancelRequested) {
            m_resultTimer->stop();
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool MyHttpsAgent::VerifyPortNumber()
{
    if (m_port > 0)
        return true;
    m_requestFinished = false;
    m_replyData.clear();
    issueGet(QLatin1String("https://") + m_host + QLatin1String(":80/WifiConfig/setupVerify"));
    WriteLogMessage(QStringLiteral("Trying Port 80 ..."));
    if (!waitForReply())
        return false;
    if (!m_replyData.isEmpty()) {
        m_port = 80;
        return true;
    }
    WriteLogMessage(QStringLiteral("Failed when trying port 80 "));
    return false;
}

void MyHttpsAgent::sendHttpsCommand(const QString &command)
{
    if (m_port < 0 && !VerifyPortNumber()) {
        m_requestFinished = true;
        return;
    }
    m_requestFinished = false;
    m_replyData.clear();
    issueGet(QLatin1String("https://") + m_host + QLatin1Char(':') + QString::number(m_port) +
             command);
    WriteLogMessage(QLatin1String("sendHttpsCommand  sent # ") + maskSecrets(command));
}

AgentStatus MyHttpsAgent::executeGetCommand(const QString &command, int tries, int pauseMs)
{
    for (int attempt = 1;; ++attempt) {
        m_requestFinished = false;
        sendHttpsCommand(command);
        if (!waitForReply() || m_cancelRequested)
            return StatusCancelled;
        if (!m_replyData.isEmpty())
            return StatusOk;
        // Whole seconds only: a pause below one second is no pause.
        const int seconds = pauseMs / 1000;
        if (seconds > 0 && !pause(seconds * AgentTiming::pauseStepMs()))
            return StatusCancelled;
        if (attempt >= tries)
            return StatusNoReply;
    }
}

void MyHttpsAgent::httpRequestFinished(QNetworkReply *replay)
{
    m_finishedReplies.append(replay);
    replay->deleteLater();
    if (replay != m_currentReply)
        return; // abandoned by a cancel or a newer request
    m_currentReply = nullptr;
    m_requestFinished = true;

    const QNetworkReply::NetworkError error = replay->error();
    if (error != QNetworkReply::NoError) {
        // Not the network layer's error text: it quotes the URL, secrets and all.
        qCDebug(lcAgent).noquote()
            << m_maskedUrl + QLatin1String(" failed: ") +
                   QLatin1String(
                       QMetaEnum::fromType<QNetworkReply::NetworkError>().valueToKey(error)) +
                   QLatin1String(" (") + QString::number(error) + QLatin1Char(')');
    }

    if (m_replyTooLarge) {
        qCDebug(lcAgent) << "reply dropped: larger than" << m_replyLimit << "bytes";
        m_replyData.clear();
    } else if (error != QNetworkReply::NoError &&
               error < QNetworkReply::ProxyConnectionRefusedError) {
        // Refused, reset, TLS failure, timeout: whatever arrived is not the camera's answer. An
        // HTTP error status is an answer, and the camera puts its error into that body.
        m_replyData.clear();
    } else {
        m_replyData = replay->readAll();
    }
}

void MyHttpsAgent::httpSslErrors(QNetworkReply *reply, const QList<QSslError> &errors)
{
    Q_UNUSED(errors)
    // The camera's certificate is self-signed and names no host we could know.
    if (reply)
        reply->ignoreSslErrors();
}

QString MyHttpsAgent::replyText() const
{
    return decodeReplyText(m_replyData);
}

void MyHttpsAgent::setProgress(int value)
{
    if (m_progressBar)
        m_progressBar->setValue(value);
}

// ---- Commands ---------------------------------------------------------------------------------

AgentStatus MyHttpsAgent::setupVerify(QString &sessionId)
{
    const AgentStatus status = executeGetCommand(QStringLiteral("/WifiConfig/setupVerify"), 1,
                                                 AgentTiming::retryPauseMs());
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    setProgress(1);
    const QString text = replyText();
    WriteLogMessage(QLatin1String("setupVerify  return  # ") + text);
    if (!isErrorReply(text)) {
        sessionId = Helper_ExtractElementValue(text, QStringLiteral("SessionId"));
        return StatusOk;
    }
    if (holds(text, "500"))
        return StatusError500;
    if (holds(text, "509"))
        return StatusError509;
    return StatusOtherError;
}

AgentStatus MyHttpsAgent::setupGetLogin(const QString &password, QString &sessionId)
{
    const AgentStatus status =
        executeGetCommand(QLatin1String("/WifiConfig/setupGetLogin?Pass=") + pct(password), 1,
                          AgentTiming::retryPauseMs());
    setProgress(2);
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    const QString text = replyText();
    WriteLogMessage(QLatin1String("setupGetLogin  return  # ") + text);
    if (!isErrorReply(text)) {
        sessionId = Helper_ExtractElementValue(text, QStringLiteral("SessionId"));
        return StatusOk;
    }
    if (holds(text, "500"))
        return StatusError500;
    if (holds(text, "509"))
        return StatusError509;
    if (holds(text, "501"))
        return StatusError501;
    return StatusOtherError;
}

AgentStatus MyHttpsAgent::setupSetPwd(const QString &newPassword, const QString &sessionId)
{
    const AgentStatus status =
        executeGetCommand(QLatin1String("/WifiConfig/setupSetPwd?SessionId=") + sessionId +
                              QLatin1String("?Pass=") + pct(newPassword),
                          1, AgentTiming::retryPauseMs());
    setProgress(3);
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    WriteLogMessage(QLatin1String("setupSetPwd  return  # ") + replyText());
    return StatusOk;
}

AgentStatus MyHttpsAgent::setupGetVersion(QString &version, const QString &sessionId)
{
    const AgentStatus status =
        executeGetCommand(QLatin1String("/WifiConfig/setupGetVersion?SessionId=") + sessionId, 1,
                          AgentTiming::retryPauseMs());
    setProgress(4);
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    const QString text = replyText();
    WriteLogMessage(QLatin1String("setupGetVersion  return  # ") + text);
    if (isErrorReply(text))
        return StatusLoginAgain;
    version = Helper_ExtractElementValue(text, QStringLiteral("Version"));
    return StatusOk;
}

AgentStatus MyHttpsAgent::setupGetStatus(QString &status, const QString &sessionId)
{
    Q_UNUSED(status) // the camera's status is fetched but not read
    const AgentStatus result =
        executeGetCommand(QLatin1String("/WifiConfig/setupGetStatus?SessionId=") + sessionId, 1,
                          AgentTiming::retryPauseMs());
    if (result == StatusCancelled || result == StatusNoReply)
        return result;
    setProgress(5);
    WriteLogMessage(QLatin1String("setupGetStatus  return  # ") + replyText());
    return StatusOk;
}

AgentStatus MyHttpsAgent::setupGetWIFIScan(QList<WIFINetworkEntry> &networks,
                                           const QString &sessionId)
{
    const AgentStatus status =
        executeGetCommand(QLatin1String("/WifiConfig/setupGetWIFIScan?SessionId=") + sessionId, 1,
                          AgentTiming::retryPauseMs());
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    setProgress(6);
    const QString text = replyText();
    WriteLogMessage(QLatin1String("setupGetWIFIScan  return  # ") + text);
    const QList<QString> blocks = Helper_ExtractElements(text, QStringLiteral("Network"));
    for (const QString &block : blocks) {
        networks.append({Helper_ExtractElementValue(block, QStringLiteral("SSID")),
                         Helper_ExtractElementValue(block, QStringLiteral("SecurityType"))});
    }
    return StatusOk;
}

QList<WIFINetworkEntry> MyHttpsAgent::WIFI_Rescan()
{
    QList<WIFINetworkEntry> networks;
    setupGetWIFIScan(networks, m_sessionID);
    return networks;
}

AgentStatus MyHttpsAgent::setupSetSSID(const QString &ssid, const QString &networkKey,
                                       const QString &securityType, const QString &sessionId)
{
    // Firmware before this version knows the key type only without its cipher; later firmware
    // calls AES by its protocol name.
    QString keyType = securityType;
    if (m_version < QLatin1String(keyTypeMappingVersion)) {
        keyType.remove(QLatin1String("-AES"));
        keyType.remove(QLatin1String("-TKIP"));
    } else {
        keyType.replace(QLatin1String("AES"), QLatin1String("CCMP"));
    }

    const QString command = QLatin1String("/WifiConfig/setupSetSSID?SessionId=") + sessionId +
                            QLatin1String("?ssid=") + pct(ssid) + QLatin1String("?netpass=") +
                            pct(networkKey) + QLatin1String("?securitytype=") + keyType;
    const AgentStatus status = executeGetCommand(command, 1, AgentTiming::retryPauseMs());
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    setProgress(7);
    WriteLogMessage(QLatin1String("setupSetSSID  return  # ") + replyText());
    return StatusOk;
}

AgentStatus MyHttpsAgent::setupGetResults(const QString &sessionId, enmComResult &result)
{
    const AgentStatus status =
        executeGetCommand(QLatin1String("/WifiConfig/setupGetResults?SessionId=") + sessionId, 9,
                          AgentTiming::retryPauseMs());
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    const QString text = replyText();
    WriteLogMessage(QLatin1String("setupGetResults  return  # ") + text);
    if (!isErrorReply(text)) {
        result = ComResultSuccess;
        return StatusOk;
    }
    result = ComResultErrorReported;
    if (text.contains(QLatin1String("<Error>502</Error>")))
        return StatusLoginAgain;
    if (text.contains(QLatin1String("<Error>505</Error>")))
        return StatusError505;
    if (text.contains(QLatin1String("<Error>503</Error>")))
        return StatusError503;
    if (text.contains(QLatin1String("<Error>508</Error>"))) {
        // Not ready yet: ask again a little later, at most ten times per session.
        const int polls = m_resultPollCount++;
        if (polls > 9)
            return StatusNoReply;
        if (!waitForResultTimer(AgentTiming::resultPollMs()))
            return StatusCancelled;
        return setupGetResults(sessionId, result);
    }
    setProgress(8);
    return StatusOk;
}

AgentStatus MyHttpsAgent::setupGetBackGroundImage(const QString &sessionId, QPixmap &image)
{
    m_replyLimit = imageReplyLimit;
    const AgentStatus status = executeGetCommand(
        QLatin1String("/WifiConfig/setupGetBackGroundImage?SessionId=") + sessionId, 2,
        AgentTiming::retryPauseMs());
    m_replyLimit = replyLimit;
    if (status == StatusCancelled || status == StatusNoReply)
        return status;
    WriteLogMessage(QLatin1String("setupGetBackGroundImage  return  # ") + replyText());
    return image.loadFromData(m_replyData, "BMP") ? StatusOk : StatusBadImage;
}

// ---- Session ----------------------------------------------------------------------------------

void MyHttpsAgent::OnTimeToGetResults()
{
    m_timeToGetResults = true;
}

void MyHttpsAgent::Start()
{
    QPixmap image; // the flow never loads one; the results page copes with a null image
    const enmComResult outcome = runSession();
    Q_EMIT signalCommunicationResultsForm(outcome, image);
}

enmComResult MyHttpsAgent::runSession()
{
    m_cancelRequested = false;
    QString password;
    QString prompt;
    bool changePassword = false;
    bool cancelled = false;
    QList<WIFINetworkEntry> networks;
    m_sessionID = QLatin1String(firstSessionId);
    m_resultPollCount = 0;
    m_requestFinished = false;

    // A form that nobody receives (the page is gone) counts as dismissed, never as accepted with
    // empty answers: an empty new password would lock the user out of the camera.
    const auto answered = [this](auto signal) {
        return isSignalConnected(QMetaMethod::fromSignal(signal));
    };

    enum class Step { AskPassword, Login, AfterLogin, Version, Configure };
    Step step = Step::AfterLogin;

    switch (setupVerify(m_sessionID)) {
    case StatusOk: // no password yet: the user should set one
        changePassword = true;
        break;
    case StatusError500:
        prompt = tr("Enter the Lumetra - Wi-Fi setup password");
        step = Step::AskPassword;
        break;
    case StatusCancelled:
        return ComResultCancelled;
    case StatusNoReply:
        return ComResultNoReply;
    case StatusError509:
        return ComResultWifiUnavailable;
    default: // an error the camera does not explain: go on without a login
        break;
    }

    for (;;) {
        switch (step) {
        case Step::AskPassword:
            if (answered(&MyHttpsAgent::signalDeviceAuthenticationForm))
                Q_EMIT signalDeviceAuthenticationForm(prompt, password, changePassword, cancelled);
            else
                cancelled = true;
            if (cancelled)
                return ComResultCancelled;
            step = Step::Login;
            break;

        case Step::Login:
            switch (setupGetLogin(password, m_sessionID)) {
            case StatusOk:
                step = Step::AfterLogin;
                break;
            case StatusError501:
                prompt = tr("Incorrect password.  Please try again.");
                step = Step::AskPassword;
                break;
            case StatusCancelled:
                return ComResultCancelled;
            default:
                return ComResultWifiUnavailable;
            }
            break;

        case Step::AfterLogin: {
            step = Step::Version;
            if (!changePassword)
                break;
            QString newPassword;
            bool skipped = !answered(&MyHttpsAgent::signalChangePasswordForm);
            if (!skipped)
                Q_EMIT signalChangePasswordForm(password, newPassword, skipped);
            if (skipped)
                break;
            if (setupSetPwd(newPassword, m_sessionID) != StatusOk) {
                changePassword = false;
                step = Step::Login;
            }
            break;
        }

        case Step::Version:
            switch (setupGetVersion(m_version, m_sessionID)) {
            case StatusOk:
                step = Step::Configure;
                break;
            case StatusLoginAgain:
                step = Step::Login;
                break;
            case StatusCancelled:
                return ComResultCancelled;
            default:
                return ComResultFailed;
            }
            break;

        case Step::Configure: {
            // Entries of an earlier pass (after a re-login) stay in front of the new ones.
            if (setupGetWIFIScan(networks, m_sessionID) == StatusCancelled)
                return ComResultCancelled;

            QString ssid;
            QString networkKey;
            QString keyType;
            cancelled = !answered(&MyHttpsAgent::signalWifiCredentialsForm);
            if (!cancelled)
                Q_EMIT signalWifiCredentialsForm(networks, ssid, networkKey, keyType, cancelled);
            if (cancelled)
                return ComResultCancelled;

            setupSetSSID(ssid, networkKey, keyType, m_sessionID);

            // The camera needs time to try the new network before it can tell the outcome.
            if (!waitForResultTimer(AgentTiming::resultWaitMs()))
                return ComResultCancelled;

            enmComResult outcome = ComResultNoReply;
            switch (setupGetResults(m_sessionID, outcome)) {
            case StatusOk:
                return outcome;
            case StatusLoginAgain:
                step = Step::Login;
                break;
            case StatusCancelled:
                return ComResultCancelled;
            case StatusError505:
                return ComResultNoInternet;
            case StatusError503:
                return ComResultError503;
            default:
                return ComResultNoReply;
            }
            break;
        }
        }
    }
}
