#pragma once

#include <QLoggingCategory>

// Debug and warning lines of device discovery ("lumetra.discovery").
Q_DECLARE_LOGGING_CATEGORY(lcDiscovery)

// Call before the first DNSService* call of the process. Avahi's Bonjour compatibility library
// prints a multi-line warning to stderr on first use unless AVAHI_COMPAT_NOWARN is set; setting it
// here keeps tests, tools and benchmarks quiet as well as the tool itself.
void nomoPrepareDnsSd();
