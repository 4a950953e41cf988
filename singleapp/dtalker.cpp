#include "dtalker.h"

#include "singleapp/dlistner.h"

DTalker::DTalker(const QString &id, QObject *parent) : QTcpServer(parent), m_id(id) {}

DTalker::~DTalker()
{
    close();
    // Listeners are children: each must have stopped before ~QObject deletes it. Ask them all
    // first so they wind down side by side, then wait for each.
    const QList<DListner *> listeners = findChildren<DListner *>(Qt::FindDirectChildrenOnly);
    for (DListner *listener : listeners)
        listener->requestInterruption();
    for (DListner *listener : listeners)
        listener->wait();
}

void DTalker::onClientMessage(const QString &message)
{
    Q_EMIT messageReceived(message);
}

void DTalker::incomingConnection(qintptr socketDescriptor)
{
    auto *listener = new DListner(m_id, socketDescriptor, this);
    // The listener emits on its own thread, so this connection is queued and the text is copied.
    connect(listener, &DListner::messageReceived, this, &DTalker::onClientMessage);
    // finished() arrives here queued as well: the listener object dies on this thread, after its
    // thread has ended.
    connect(listener, &QThread::finished, listener, &QObject::deleteLater);
    listener->start();
}
