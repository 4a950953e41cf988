#pragma once

#include <QLoggingCategory>

// Debug and warning lines of device discovery ("lumetra.discovery").
Q_DECLARE_LOGGING_CATEGORY(lcDiscovery)

// Call first in main, before the application object exists. Avahi's Bonjour compatibility library
// prints a multi-line warning to stderr on first use unless AVAHI_COMPAT_NOWARN is set. Setting an
// environment variable is safe only while the process has a single thread (another thread's getenv
// may read the environment meanwhile), and the application object starts threads: so every program
// that browses or resolves sets it here, at its start, and the browser and resolver never do.
void nomoPrepareDnsSd();
