#include "singleapplog.h"

Q_LOGGING_CATEGORY(lcSingleApp, "lumetra.singleapp", QtInfoMsg)
