#include "dportchecker.h"

#include "singleapp/dwireformat.h"
#include "singleapp/singleapplog.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QtEndian>

#include <memory>

DPortChecker::DPortChecker(const QString &id, int port, QObject *parent)
    : QThread(parent), m_port(port), m_id(id)
{}

DPortChecker::~DPortChecker()
{
    // A running probe would still write the members below.
    wait();
    delete m_socket;
}

void DPortChecker::check(int port)
{
    // An instance socket left from an earlier probe lives on this (the caller's) thread already.
    delete m_socket;
    m_socket = nullptr;
    m_port = port;
    start();
}

QTcpSocket *DPortChecker::transferSocketOwnership()
{
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    return socket;
}

void DPortChecker::run()
{
    m_status = 0;
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QHostAddress(QHostAddress::LocalHost), quint16(m_port),
                          QIODevice::ReadWrite);
    if (!socket->waitForConnected(DWire::ConnectTimeoutMs)) {
        socket->abort();
        qCDebug(lcSingleApp) << "port" << m_port << "is free";
        return;
    }

    // Something accepted: from here on the port counts as taken unless the greeting matches.
    m_status = 2;

    // The greeting normally arrives in one piece; should it come in parts, keep reading until it
    // is whole or the time is up.
    const QDeadlineTimer deadline(DWire::GreetingTimeoutMs);
    QDataStream in(socket.get());
    in.setVersion(DWire::StreamVersion);
    QString greeting;
    for (;;) {
        if (!socket->waitForReadyRead(int(deadline.remainingTime()))) {
            socket->abort();
            qCDebug(lcSingleApp) << "port" << m_port << "is taken by a silent program";
            return;
        }
        // No instance announces an identifier longer than any frame could carry; a stranger that
        // does is not waited for, nor is its text stored.
        if (socket->bytesAvailable() >= qint64(sizeof(quint32))) {
            const quint32 count =
                qFromBigEndian<quint32>(socket->peek(sizeof(quint32)).constData());
            if (count != 0xffffffffu && count > 2 * quint32(DWire::MaxTextLength)) {
                socket->abort();
                qCDebug(lcSingleApp) << "port" << m_port << "is taken: oversized greeting";
                return;
            }
        }
        in.startTransaction();
        in >> greeting;
        if (in.commitTransaction())
            break;
        if (in.status() != QDataStream::ReadPastEnd) {
            socket->abort();
            qCDebug(lcSingleApp) << "port" << m_port << "is taken: malformed greeting";
            return;
        }
    }

    if (greeting.size() < 2) {
        socket->abort();
        qCDebug(lcSingleApp) << "port" << m_port << "is taken: greeting too short";
        return;
    }

    // Only the shorter of the two strings is compared, so identifiers that extend one another count
    // as the same application.
    const qsizetype n = qMin(greeting.size(), m_id.size());
    if (QStringView(greeting).left(n) != QStringView(m_id).left(n)) {
        socket->abort();
        qCDebug(lcSingleApp) << "port" << m_port << "is taken by" << greeting;
        return;
    }

    // Hand the connection over to the caller's thread; only this thread may push it there.
    socket->moveToThread(thread());
    m_socket = socket.release();
    m_status = 1;
    qCDebug(lcSingleApp) << "port" << m_port << "is served by a running instance";
}
