#include "dsingleapplication.h"

#include "singleapp/dportchecker.h"
#include "singleapp/dportlist.h"
#include "singleapp/dtalker.h"
#include "singleapp/dwireformat.h"
#include "singleapp/singleapplog.h"

#include <QByteArray>
#include <QDataStream>
#include <QHostAddress>
#include <QTcpSocket>

namespace {

constexpr int WriteTimeoutMs = 30000;

} // namespace

DSingleApplication::DSingleApplication(const QString &id, bool doInit)
    : m_port(DWire::FirstPort), m_id(id)
{
    m_talker = new DTalker(m_id, this);
    if (doInit)
        initialize();
}

DSingleApplication::~DSingleApplication()
{
    // The talker first: it ends the listener threads of our own clients before anything else goes.
    delete m_talker;
    m_talker = nullptr;
    m_socket.reset();
}

void DSingleApplication::initialize()
{
    if (m_initialized)
        return;
    m_initialized = true;
    init();
}

void DSingleApplication::init()
{
    m_running = false;
    std::unique_ptr<DPortChecker> checker(new DPortChecker(m_id, m_port, this));
    DPortList ports;

    while (m_port <= DWire::LastPort) {
        // One probe at a time; the checker's members are read only after its thread has ended.
        checker->check(m_port);
        checker->wait();
        if (checker->status() == 1) {
            m_running = true;
            m_socket.reset(checker->transferSocketOwnership());
            qCDebug(lcSingleApp) << m_id << "already runs at port" << m_port;
            return;
        }
        ports.append(DPortInfo{m_port, checker->status() == 0});
        ++m_port;
    }

    m_port = ports.firstFreePort();
    if (m_port == -1) {
        qCDebug(lcSingleApp) << "no free port for" << m_id;
        return;
    }
    if (m_talker->listen(QHostAddress(QHostAddress::LocalHost), quint16(m_port))) {
        connect(m_talker, &DTalker::messageReceived, this, &DSingleApplication::onClientMessage);
        qCDebug(lcSingleApp) << m_id << "serves port" << m_port;
    } else {
        qCDebug(lcSingleApp) << "cannot listen at port" << m_port << m_talker->errorString();
    }
}

bool DSingleApplication::sendMessage(const QString &message)
{
    if (!m_running)
        return false;
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return false;

    const QString text = m_id + QLatin1Char(':') + message;
    // The receiver closes the connection on a longer frame, which would lose this message and
    // every later one.
    if (text.size() > DWire::MaxTextLength)
        return false;

    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out.setVersion(DWire::StreamVersion);
    out << qint32(text.size()) << text;

    m_socket->write(frame);
    m_socket->flush();
    m_socket->waitForBytesWritten(WriteTimeoutMs);
    return true;
}

void DSingleApplication::onClientMessage(const QString &message)
{
    Q_EMIT messageReceived(message);
}
