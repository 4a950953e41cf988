#include "discoveryproblem.h"

#include <QStandardPaths>

namespace {
// Apple's kDNSServiceErr_ServiceNotRunning, which Avahi's header does not define.
constexpr DNSServiceErrorType ServiceNotRunningError = -65563;
} // namespace

DiscoveryProblem DiscoveryProblem::fromError(DNSServiceErrorType error)
{
    return fromError(error, daemonInstalled());
}

DiscoveryProblem DiscoveryProblem::fromError(DNSServiceErrorType error, bool daemonInstalled)
{
    DiscoveryProblem problem;
    problem.m_error = error;
    if (error == kDNSServiceErr_NoError)
        problem.m_cause = NoProblem;
    else if (error == kDNSServiceErr_Unknown || error == ServiceNotRunningError)
        problem.m_cause = daemonInstalled ? ServiceNotRunning : ServiceNotInstalled;
    else
        problem.m_cause = ServiceFailed;
    return problem;
}

DiscoveryProblem DiscoveryProblem::nameNotLookedUp(const QString &hostName)
{
    DiscoveryProblem problem;
    problem.m_cause = NameNotLookedUp;
    problem.m_hostName = hostName;
    return problem;
}

bool DiscoveryProblem::daemonInstalled()
{
    // System daemons live outside a user's PATH.
    return !QStandardPaths::findExecutable(QStringLiteral("avahi-daemon"),
                                           {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                            QStringLiteral("/usr/local/sbin")})
                .isEmpty();
}

bool DiscoveryProblem::outranks(const DiscoveryProblem &other) const
{
    if (!isProblem())
        return false;
    if (!other.isProblem())
        return true;
    return m_cause != NameNotLookedUp && other.m_cause == NameNotLookedUp;
}

QString DiscoveryProblem::text() const
{
    switch (m_cause) {
    case NoProblem:
        break;
    case ServiceNotInstalled:
        return tr("The network search service (avahi-daemon) is not installed, so no camera can "
                  "be found. Install it with: sudo apt-get install avahi-daemon libnss-mdns");
    case ServiceNotRunning:
        return tr("The network search service (avahi-daemon) is not running, so no camera can be "
                  "found. Start it with: sudo systemctl enable --now avahi-daemon");
    case ServiceFailed:
        return tr("The network search failed (DNS-SD error %1). Check the network search service "
                  "with: systemctl status avahi-daemon")
            .arg(m_error);
    case NameNotLookedUp:
        return tr("A camera was found, but its name %1 could not be looked up, so the tool cannot "
                  "reach it. Install the name lookup for the local network with: sudo apt-get "
                  "install libnss-mdns")
            .arg(m_hostName);
    }
    return QString();
}
