#include "cliinterrupt.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int s_pipe[2] = {-1, -1};
struct sigaction s_previousInt;
struct sigaction s_previousTerm;

void onTerminationSignal(int)
{
    const char byte = 1;
    // Only async-signal-safe calls here; the event loop picks the byte up.
    [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &byte, 1);
}

} // namespace

CliInterrupt::CliInterrupt(QObject *parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_pipe) != 0)
        return;
    ::fcntl(s_pipe[1], F_SETFL, O_NONBLOCK);
    m_notifier = new QSocketNotifier(s_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &CliInterrupt::onSignal);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // The second signal of a kind takes its default course: the user insists.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGINT, &action, &s_previousInt);
    ::sigaction(SIGTERM, &action, &s_previousTerm);
}

CliInterrupt::~CliInterrupt()
{
    if (!m_notifier)
        return;
    ::sigaction(SIGINT, &s_previousInt, nullptr);
    ::sigaction(SIGTERM, &s_previousTerm, nullptr);
    delete m_notifier;
    ::close(s_pipe[0]);
    ::close(s_pipe[1]);
    s_pipe[0] = s_pipe[1] = -1;
}

void CliInterrupt::onSignal()
{
    char byte;
    [[maybe_unused]] const ssize_t read = ::read(s_pipe[0], &byte, 1);
    if (m_interrupted)
        return;
    m_interrupted = true;
    Q_EMIT interrupted();
}
