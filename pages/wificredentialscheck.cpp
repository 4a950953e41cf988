#include "wificredentialscheck.h"

namespace {
const char *const keyTypeNames[] = {"WPA-AES",   "WPA-TKIP", "WPA2-AES",
                                    "WPA2-TKIP", "WEP",      "No Authentication"};
} // namespace

WifiCredentialsCheck::WifiCredentialsCheck(const QString &ssid, const QString &securityType,
                                           const QString &key, bool wepKey, bool hexKey)
    : m_securityType(securityType), m_key(key)
{
    m_key.remove(QLatin1Char('\n'));

    bool knownKeyType = false;
    for (const char *keyType : keyTypeNames)
        knownKeyType = knownKeyType || securityType.contains(QLatin1String(keyType));
    if (!knownKeyType) {
        m_problem = UnknownKeyType;
        return;
    }
    if (!securityType.contains(QLatin1String("No Authentication")) && m_key.isEmpty()) {
        m_problem = EmptyKey;
        return;
    }
    if (wepKey) {
        const qsizetype length = m_key.length();
        if (!hexKey) {
            if (length != 5 && length != 13) {
                m_problem = WepAsciiLength;
                return;
            }
            // The camera takes WEP keys as hex digits only.
            m_key = QString::fromLatin1(m_key.toLatin1().toHex());
        } else if (length != 10 && length != 26) {
            m_problem = WepHexLength;
            return;
        }
    }
    if (ssid.isEmpty())
        m_problem = EmptySsid;
}

QString WifiCredentialsCheck::message() const
{
    switch (m_problem) {
    case NoProblem:
        break;
    case UnknownKeyType:
        return tr("Please Select Your Wireless Network Key Type.");
    case EmptyKey:
        return tr("Wireless Network key cannot be empty for  %1  .").arg(m_securityType);
    case WepAsciiLength:
        return tr("Wireless Network Key Length Incorrect ! \n Must be 5, 13 ascii characters "
                  "long .");
    case WepHexLength:
        return tr("Wireless Network Key Length Incorrect ! \nMust be 10, 26 hexadecimal digits "
                  "long .");
    case EmptySsid:
        return tr("Can't use an empty SSID !!");
    }
    return QString();
}

QStringList WifiCredentialsCheck::keyTypes()
{
    QStringList list;
    for (const char *keyType : keyTypeNames)
        list << tr(keyType);
    return list;
}

QString WifiCredentialsCheck::messageTitle()
{
    return tr("Dovrel Nomo - Wi-Fi Setup Tool");
}
