#pragma once

#include <QLoggingCategory>

// Debug trace of the single-instance kit, off by default; the kit itself reports nothing.
// Turn it on with QT_LOGGING_RULES="lumetra.singleapp.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcSingleApp)
