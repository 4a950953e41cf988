#pragma once

#include <QString>

// One network block of the scan reply.
struct CameraNetwork
{
    QString ssid;
    QString securityType;
    bool hasSsid = true; // false: the block carries no "SSID" element at all
};
