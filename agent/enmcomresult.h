#pragma once

#include <QMetaType>

// The outcome of one configuration session, as the results page shows it. Value 7 is not used.
enum enmComResult {
    ComResultVersionNotCurrent = 0,
    ComResultFailed = 1,
    ComResultSuccess = 2,
    ComResultErrorReported = 3,
    ComResultCancelled = 4,
    ComResultNoInternet = 5,
    ComResultNoReply = 6,
    ComResultError503 = 8,
    ComResultWifiUnavailable = 9,
};

Q_DECLARE_METATYPE(enmComResult)
