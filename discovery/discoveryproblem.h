#pragma once

#include <QCoreApplication>
#include <QString>

#include <dns_sd.h>

// Why the network search could not find the cameras, or could not reach one it found, and what the
// user does about it. The scan and device pages show its text as a notice and the command-line
// companion prints the same text, so both name the same cause and the same fix.
//
// What Avahi's DNS-SD compatibility library reports (measured with avahi-daemon 0.8): with no
// daemon on the system bus (not installed, not running, or no system bus at all) DNSServiceBrowse
// and DNSServiceResolve fail at once with kDNSServiceErr_Unknown (-65537). A daemon that stops
// during a browse or resolve makes DNSServiceProcessResult return 0 and deliver one reply whose
// error code is kDNSServiceErr_Unknown. Apple's library reports a missing service as
// kDNSServiceErr_ServiceNotRunning (-65563), which is taken the same way.
class DiscoveryProblem
{
    Q_DECLARE_TR_FUNCTIONS(DiscoveryProblem)

public:
    enum Cause {
        NoProblem,
        ServiceNotInstalled,
        ServiceNotRunning,
        ServiceFailed,   // any other DNS-SD error; the text names its code
        NameNotLookedUp, // a camera was found, but the system cannot look its host name up
    };

    DiscoveryProblem() = default;

    // The problem behind a DNS-SD error code; for a missing service it looks whether avahi-daemon
    // is installed, to give the right fix.
    static DiscoveryProblem fromError(DNSServiceErrorType error);
    static DiscoveryProblem fromError(DNSServiceErrorType error, bool daemonInstalled);
    static DiscoveryProblem nameNotLookedUp(const QString &hostName);
    static bool daemonInstalled();

    Cause cause() const { return m_cause; }
    bool isProblem() const { return m_cause != NoProblem; }
    DNSServiceErrorType errorCode() const { return m_error; }
    // The notice: the cause, then the command that fixes it. Empty when there is no problem.
    QString text() const;
    // A search that cannot run at all matters more than one name that cannot be looked up, and
    // the first failure of the search more than the echoes that follow it.
    bool outranks(const DiscoveryProblem &other) const;

private:
    Cause m_cause = NoProblem;
    DNSServiceErrorType m_error = kDNSServiceErr_NoError;
    QString m_hostName;
};
