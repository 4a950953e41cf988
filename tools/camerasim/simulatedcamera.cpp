#include "tools/camerasim/simulatedcamera.h"

#include "tools/camerasim/cameraconnection.h"
#include "tools/camerasim/camerasimlog.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>

#include <algorithm>

Q_LOGGING_CATEGORY(lcCameraSim, "lumetra.camerasim")

// Outside any namespace, as Q_INIT_RESOURCE requires. The certificate lives in a static library,
// whose resource object the linker would otherwise drop.
static void initCameraSimResources()
{
    Q_INIT_RESOURCE(camerasim);
}

namespace {

const QString wifiConfigPrefix = QStringLiteral("/WifiConfig/");
constexpr int hugeBodySize = 16 * 1024 * 1024;

QByteArray readResource(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCCritical(lcCameraSim) << "missing resource" << path;
        return QByteArray();
    }
    return file.readAll();
}

// The query's "key=value" parameters, split at every "?" as the camera's clients send them,
// with keys in lower case and values percent-decoded as UTF-8.
QHash<QString, QString> parseQuery(const QString &query)
{
    QHash<QString, QString> params;
    const QStringList parts = query.split(QLatin1Char('?'));
    for (const QString &part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        const QString key = (eq < 0 ? part : part.left(eq)).toLower();
        const QByteArray value = eq < 0 ? QByteArray() : part.mid(eq + 1).toLatin1();
        if (!key.isEmpty() && !params.contains(key))
            params.insert(key, QString::fromUtf8(QByteArray::fromPercentEncoding(value)));
    }
    return params;
}

QByteArray wrap(const QByteArray &inner)
{
    return "<Response>" + inner + "</Response>";
}

QByteArray errorDocument(int number, bool lowerCase = false)
{
    const QByteArray n = QByteArray::number(number);
    return lowerCase ? wrap("<error>" + n + "</error>") : wrap("<Error>" + n + "</Error>");
}

// An uncompressed 32-bit BMP of the camera's background picture.
QByteArray bitmap(int width, int height)
{
    const quint32 pixelBytes = quint32(width) * quint32(height) * 4;
    QByteArray bmp;
    bmp.reserve(int(pixelBytes) + 54);
    QDataStream out(&bmp, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint8('B') << quint8('M') << quint32(54 + pixelBytes) << quint32(0) << quint32(54);
    out << quint32(40) << qint32(width) << qint32(height) << quint16(1) << quint16(32) << quint32(0)
        << pixelBytes << qint32(2835) << qint32(2835) << quint32(0) << quint32(0);
    QByteArray pixels(int(pixelBytes), '\0');
    for (int i = 0; i < pixels.size(); i += 4) {
        pixels[i] = char(0xc8);     // blue
        pixels[i + 1] = char(0x6e); // green
        pixels[i + 2] = char(0x1e); // red
    }
    out.writeRawData(pixels.constData(), pixels.size());
    return bmp;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Unknown";
    }
}

// Session ids are drawn from letters that can never spell "error" or "network" and hold no
// digits, so no reply text matches the tool's substring tests by accident.
QString encodeSessionId(int counter)
{
    static const char alphabet[] = "bcdfghjkmnpqstvwxz";
    constexpr int base = sizeof alphabet - 1;
    QString id;
    for (int i = 0; i < 6; ++i) {
        id.prepend(QLatin1Char(alphabet[counter % base]));
        counter /= base;
    }
    return QStringLiteral("ns") + id;
}

} // namespace

SimulatedCamera::SimulatedCamera(const CameraScenario &scenario, QObject *parent) : QObject(parent)
{
    static const bool resourcesReady = (initCameraSimResources(), true);
    Q_UNUSED(resourcesReady);
    setScenario(scenario);
}

SimulatedCamera::~SimulatedCamera() = default;

QSslCertificate SimulatedCamera::certificate()
{
    static const bool resourcesReady = (initCameraSimResources(), true);
    Q_UNUSED(resourcesReady);
    return QSslCertificate(readResource(QStringLiteral(":/camerasim/camera-cert.pem")), QSsl::Pem);
}

bool SimulatedCamera::listen(const QHostAddress &address, quint16 port)
{
    close();
    m_server = std::make_unique<QSslServer>();
    applyTlsSetting();
    connect(m_server.get(), &QSslServer::pendingConnectionAvailable, this,
            &SimulatedCamera::onPendingConnection);
    connect(m_server.get(), &QSslServer::errorOccurred, this,
            [](QSslSocket *socket, QAbstractSocket::SocketError) {
                qCInfo(lcCameraSim).noquote()
                    << "connection failed before a request:" << socket->errorString();
            });
    return m_server->listen(address, port);
}

void SimulatedCamera::close()
{
    if (m_server)
        m_server->close();
}

bool SimulatedCamera::isListening() const
{
    return m_server && m_server->isListening();
}

QHostAddress SimulatedCamera::serverAddress() const
{
    return m_server ? m_server->serverAddress() : QHostAddress();
}

quint16 SimulatedCamera::serverPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

QString SimulatedCamera::errorString() const
{
    return m_server ? m_server->errorString() : QString();
}

void SimulatedCamera::setScenario(const CameraScenario &scenario)
{
    m_scenario = scenario;
    m_tries.clear();
    m_hasPassword = scenario.hasPassword;
    m_password = scenario.hasPassword ? scenario.password : QString();
    m_sessionId.clear();
    m_logins = 0;
    m_versions = 0;
    m_results = 0;
    m_ssid.clear();
    m_key.clear();
    m_securityType.clear();
    applyTlsSetting();
}

CameraScenario SimulatedCamera::scenario() const
{
    return m_scenario;
}

bool SimulatedCamera::hasPassword() const
{
    return m_hasPassword;
}

QString SimulatedCamera::password() const
{
    return m_password;
}

QString SimulatedCamera::sessionId() const
{
    return m_sessionId;
}

QString SimulatedCamera::configuredSsid() const
{
    return m_ssid;
}

QString SimulatedCamera::configuredKey() const
{
    return m_key;
}

QString SimulatedCamera::configuredSecurityType() const
{
    return m_securityType;
}

QList<CameraRequest> SimulatedCamera::requests() const
{
    return m_requests;
}

QList<CameraRequest> SimulatedCamera::requests(const QString &command) const
{
    QList<CameraRequest> matching;
    std::copy_if(m_requests.cbegin(), m_requests.cend(), std::back_inserter(matching),
                 [&command](const CameraRequest &r) { return r.command == command; });
    return matching;
}

void SimulatedCamera::clearRequests()
{
    m_recordBase += int(m_requests.size());
    m_requests.clear();
}

void SimulatedCamera::applyTlsSetting()
{
    if (!m_server)
        return;
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setLocalCertificate(certificate());
    config.setPrivateKey(
        QSslKey(readResource(QStringLiteral(":/camerasim/camera-key.pem")), QSsl::Rsa, QSsl::Pem));
    config.setPeerVerifyMode(QSslSocket::VerifyNone);
    if (m_scenario.tls10Only) {
        // OpenSSL 3 refuses TLS 1.0 at its default security level; old camera firmware speaks
        // nothing else.
        config.setProtocol(QSsl::AnyProtocol);
        config.setBackendConfigurationOption("MinProtocol", QByteArray("TLSv1"));
        config.setBackendConfigurationOption("MaxProtocol", QByteArray("TLSv1"));
        config.setBackendConfigurationOption("CipherString", QByteArray("DEFAULT:@SECLEVEL=0"));
    }
    m_server->setSslConfiguration(config);
}

void SimulatedCamera::onPendingConnection()
{
    while (m_server && m_server->hasPendingConnections()) {
        auto *socket = qobject_cast<QSslSocket *>(m_server->nextPendingConnection());
        if (!socket)
            continue;
        auto *connection = new CameraConnection(socket, this);
        connect(connection, &CameraConnection::requestReceived, this, &SimulatedCamera::onRequest);
    }
}

void SimulatedCamera::onRequest(CameraConnection *connection, const QByteArray &method,
                                const QByteArray &target)
{
    CameraRequest request;
    request.method = QString::fromLatin1(method);
    request.target = QString::fromLatin1(target);
    const int q = int(request.target.indexOf(QLatin1Char('?')));
    request.path = q < 0 ? request.target : request.target.left(q);
    request.query = q < 0 ? QString() : request.target.mid(q + 1);
    if (request.path.startsWith(wifiConfigPrefix))
        request.command = request.path.mid(wifiConfigPrefix.size());
    request.tryNumber = ++m_tries[request.command];
    request.receivedMs = QDateTime::currentMSecsSinceEpoch();

    const CameraReplyPlan plan = answer(request);
    request.fault = plan.fault;
    request.httpStatus = plan.fault == CameraFault::CloseWithoutReply
                             ? 0
                             : plan.head.mid(9, 3).toInt(); // "HTTP/1.1 200 ..."

    const int index = m_recordBase + int(m_requests.size());
    m_requests.append(request);
    connect(connection, &CameraConnection::finished, this,
            [this, index] { onConnectionFinished(index); });
    Q_EMIT requestReceived(request);
    connection->reply(plan);
}

void SimulatedCamera::onConnectionFinished(int index)
{
    const int i = index - m_recordBase;
    if (i < 0 || i >= m_requests.size())
        return; // cleared meanwhile
    m_requests[i].finishedMs = QDateTime::currentMSecsSinceEpoch();
    Q_EMIT requestFinished(m_requests.at(i));
}

QString SimulatedCamera::newSessionId()
{
    m_sessionId = encodeSessionId(++m_sessionCounter);
    return m_sessionId;
}

QByteArray SimulatedCamera::document(const CameraRequest &request, int &status)
{
    status = 200;
    const QString &c = request.command;
    const QHash<QString, QString> params = parseQuery(request.query);

    if (c == QLatin1String("setupVerify")) {
        if (m_scenario.verifyError != 0)
            return errorDocument(m_scenario.verifyError);
        if (m_hasPassword)
            return errorDocument(500);
        return wrap("<SessionId>" + newSessionId().toUtf8() + "</SessionId>");
    }
    if (c == QLatin1String("setupGetLogin")) {
        ++m_logins;
        if (m_scenario.loginError != 0)
            return errorDocument(m_scenario.loginError);
        if (m_logins <= m_scenario.refusePasswordTimes || params.value("pass") != m_password)
            return errorDocument(501);
        return wrap("<SessionId>" + newSessionId().toUtf8() + "</SessionId>");
    }

    static const QStringList sessionCommands = {
        QStringLiteral("setupSetPwd"),
        QStringLiteral("setupGetVersion"),
        QStringLiteral("setupGetWIFIScan"),
        QStringLiteral("setupSetSSID"),
        QStringLiteral("setupGetResults"),
        QStringLiteral("setupGetStatus"),
        QStringLiteral("setupGetBackGroundImage"),
    };
    if (!sessionCommands.contains(c)) {
        status = 404;
        return errorDocument(404);
    }
    if (m_scenario.requireSession &&
        (m_sessionId.isEmpty() || params.value(QStringLiteral("sessionid")) != m_sessionId))
        return errorDocument(502);

    if (c == QLatin1String("setupSetPwd")) {
        m_password = params.value(QStringLiteral("pass"));
        m_hasPassword = !m_password.isEmpty();
        return wrap("<Result>Done</Result>");
    }
    if (c == QLatin1String("setupGetVersion")) {
        ++m_versions;
        if (m_scenario.versionErrorTimes < 0 || m_versions <= m_scenario.versionErrorTimes)
            return errorDocument(502);
        return wrap("<Version>" + m_scenario.version.toUtf8() + "</Version>");
    }
    if (c == QLatin1String("setupGetWIFIScan")) {
        if (m_scenario.scanError != 0)
            return errorDocument(m_scenario.scanError);
        const bool latin1 = m_scenario.latin1Scan;
        auto encode = [latin1](const QString &text) {
            return latin1 ? text.toLatin1() : text.toUtf8();
        };
        QByteArray blocks;
        for (const CameraNetwork &n : std::as_const(m_scenario.networks)) {
            blocks += "<Network>";
            if (n.hasSsid)
                blocks += "<SSID>" + encode(n.ssid) + "</SSID>";
            blocks += "<SecurityType>" + encode(n.securityType) + "</SecurityType></Network>";
        }
        return wrap(blocks);
    }
    if (c == QLatin1String("setupSetSSID")) {
        m_ssid = params.value(QStringLiteral("ssid"));
        m_key = params.value(QStringLiteral("netpass"));
        m_securityType = params.value(QStringLiteral("securitytype"));
        return wrap("<Result>Done</Result>");
    }
    if (c == QLatin1String("setupGetResults")) {
        const QList<int> &results = m_scenario.results;
        const int number =
            results.isEmpty() ? 0 : results.at(std::min(m_results, int(results.size()) - 1));
        ++m_results;
        if (number == 0)
            return wrap("<Result>Connected</Result>");
        return errorDocument(number, m_scenario.lowerCaseResultTag);
    }
    if (c == QLatin1String("setupGetStatus"))
        return wrap("<Status>Ready</Status>");
    return bitmap(64, 48); // setupGetBackGroundImage
}

CameraReplyPlan SimulatedCamera::answer(const CameraRequest &request)
{
    int status = 200;
    QByteArray body = document(request, status);
    const bool image = request.command == QLatin1String("setupGetBackGroundImage") && status == 200;

    CameraReplyPlan plan;
    for (const CameraFaultRule &rule : std::as_const(m_scenario.faults)) {
        if ((rule.command.isEmpty() || rule.command == request.command) &&
            request.tryNumber >= rule.firstTry &&
            (rule.tries < 0 || request.tryNumber < rule.firstTry + rule.tries)) {
            plan.fault = rule.fault;
            break;
        }
    }

    QByteArray extraHeaders;
    switch (plan.fault) {
    case CameraFault::EmptyBody:
        body.clear();
        break;
    case CameraFault::SlowReply:
        plan.delayMs = m_scenario.slowMs;
        break;
    case CameraFault::StallMidBody:
        plan.delayMs = m_scenario.stallMs;
        break;
    case CameraFault::Redirect:
        status = 302;
        extraHeaders = "Location: /WifiConfig/redirectTarget\r\n";
        break;
    case CameraFault::HttpStatus500:
        status = 500;
        break;
    case CameraFault::GarbageWithZero:
        body += QByteArray("\0<Error>500</Error>\xff\xfe\x80\xc3(garbage", 31);
        break;
    case CameraFault::HugeBody:
        if (image)
            body = bitmap(2048, 2048);
        else
            body.append(hugeBodySize - body.size(), ' ');
        break;
    default:
        break;
    }

    plan.head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n" +
                "Server: Nomo camera simulator\r\n" +
                "Content-Type: " + (image ? "image/bmp" : "text/xml") + "\r\n" +
                "Content-Length: " + QByteArray::number(body.size()) + "\r\n" +
                "Connection: close\r\n" + extraHeaders + "\r\n";
    plan.body = body;
    return plan;
}
