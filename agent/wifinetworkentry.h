#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// One wireless network as the camera reported it in its scan. Either field is empty when the
// camera's block for that network did not carry it.
struct WIFINetworkEntry
{
    QString ssid;
    QString securityType;

    friend bool operator==(const WIFINetworkEntry &a, const WIFINetworkEntry &b)
    {
        return a.ssid == b.ssid && a.securityType == b.securityType;
    }
};

Q_DECLARE_METATYPE(WIFINetworkEntry)
