#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The checks that a network name, key and key type must pass before they go to the camera, and
// the one correction made to them: line feeds are dropped from the key and an ASCII WEP key
// becomes its hexadecimal form. Shared by the Wi-Fi dialog and the command line, so that both
// refuse the same entries, in the same order, with the same words.
class WifiCredentialsCheck
{
    Q_DECLARE_TR_FUNCTIONS(WifiCredentialsCheck)

public:
    // The first check that fails, in the order the checks are made.
    enum Problem {
        NoProblem,
        UnknownKeyType, // the key type names none of keyTypes()
        EmptyKey,       // a key type other than "No Authentication" needs a key
        WepAsciiLength, // an ASCII WEP key must have 5 or 13 characters
        WepHexLength,   // a hex WEP key must have 10 or 26 digits
        EmptySsid,
    };

    // wepKey: the key is a WEP key (the dialog shows its "Hex Key" box); hexKey: it is typed as
    // hex digits rather than ASCII. Both matter only together.
    WifiCredentialsCheck(const QString &ssid, const QString &securityType, const QString &key,
                         bool wepKey, bool hexKey);

    Problem problem() const { return m_problem; }
    // The text that explains the problem to the user; empty without a problem.
    QString message() const;
    // The key as the camera gets it, valid without a problem.
    QString key() const { return m_key; }

    // The six key types, in the order of the dialog's list.
    static QStringList keyTypes();
    // Title of the message boxes that show the problems.
    static QString messageTitle();

private:
    Problem m_problem = NoProblem;
    QString m_securityType;
    QString m_key;
};
