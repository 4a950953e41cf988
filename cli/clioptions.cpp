#include "clioptions.h"

#include <QCoreApplication>

namespace {

// Options that would put a secret on the command line, where every user of the machine can read
// it: refused with a pointer to the safe way.
struct SecretOption
{
    const char *name;
    const char *instead;
};
const SecretOption secretOptions[] = {
    {"--password", "--password-file FILE or LUMETRA_SETUP_PASSWORD"},
    {"--new-password", "--new-password-file FILE"},
    {"--key", "--key-file FILE, --key-file - or LUMETRA_WIFI_KEY"},
};

bool positiveNumber(const QString &text, int &value)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < 1)
        return false;
    value = number;
    return true;
}

} // namespace

CliOptions CliOptions::parse(const QStringList &arguments)
{
    CliOptions options;
    QStringList rest = arguments;
    if (!rest.isEmpty()) {
        const QString first = rest.first();
        if (first == QLatin1String("scan")) {
            options.command = Scan;
            rest.removeFirst();
        } else if (first == QLatin1String("configure")) {
            options.command = Configure;
            rest.removeFirst();
        } else if (first == QLatin1String("help")) {
            options.help = true;
            rest.removeFirst();
            if (!rest.isEmpty())
                options.command = parse(rest).command;
            return options;
        }
    }

    bool onlyHosts = false;
    while (!rest.isEmpty()) {
        QString argument = rest.takeFirst();
        if (onlyHosts || !argument.startsWith(QLatin1Char('-')) || argument == QLatin1String("-")) {
            if (options.command != Configure) {
                options.error = options.command == NoCommand
                                    ? QStringLiteral("unknown command \"%1\"").arg(argument)
                                    : QStringLiteral("unexpected argument \"%1\"").arg(argument);
                return options;
            }
            options.hosts << argument;
            continue;
        }
        if (argument == QLatin1String("--")) {
            onlyHosts = true;
            continue;
        }

        // "--name=value" and "--name value" alike. The value is never repeated in a message: it
        // may be a secret typed at the wrong place.
        QString name = argument;
        QString value;
        bool inlineValue = false;
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        if (equals > 0) {
            name = argument.left(equals);
            value = argument.mid(equals + 1);
            inlineValue = true;
        }
        const auto takeValue = [&]() -> bool {
            if (inlineValue)
                return true;
            if (rest.isEmpty()) {
                options.error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            value = rest.takeFirst();
            return true;
        };
        const auto noValue = [&]() -> bool {
            if (inlineValue)
                options.error = QStringLiteral("%1 takes no value").arg(name);
            return !inlineValue;
        };
        const auto forCommand = [&](Command command) -> bool {
            if (options.command == command)
                return true;
            options.error = QStringLiteral("%1 is not an option of this command").arg(name);
            return false;
        };

        for (const SecretOption &secret : secretOptions) {
            if (name == QLatin1String(secret.name)) {
                options.error = QStringLiteral("secrets are never taken from the command line: "
                                               "use %1")
                                    .arg(QLatin1String(secret.instead));
                return options;
            }
        }

        bool ok = true;
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            ok = noValue();
            options.help = true;
        } else if (name == QLatin1String("--version")) {
            ok = noValue();
            options.version = true;
        } else if (name == QLatin1String("--json")) {
            ok = noValue();
            options.json = true;
        } else if (name == QLatin1String("--verbose")) {
            ok = noValue();
            options.verbose = true;
        } else if (name == QLatin1String("--time")) {
            ok = forCommand(Scan) && takeValue();
            if (ok && !positiveNumber(value, options.scanSeconds)) {
                options.error = QStringLiteral("--time needs a whole number of seconds above 0");
                ok = false;
            }
        } else if (name == QLatin1String("--ssid")) {
            ok = forCommand(Configure) && takeValue();
            options.ssid = value;
            options.ssidGiven = true;
        } else if (name == QLatin1String("--key-type")) {
            ok = forCommand(Configure) && takeValue();
            options.keyType = value;
        } else if (name == QLatin1String("--hex-key")) {
            ok = forCommand(Configure) && noValue();
            options.hexKey = true;
        } else if (name == QLatin1String("--password-file")) {
            ok = forCommand(Configure) && takeValue();
            options.passwordFile = value;
        } else if (name == QLatin1String("--new-password-file")) {
            ok = forCommand(Configure) && takeValue();
            options.newPasswordFile = value;
        } else if (name == QLatin1String("--key-file")) {
            ok = forCommand(Configure) && takeValue();
            options.keyFile = value;
        } else if (name == QLatin1String("--hosts-file")) {
            ok = forCommand(Configure) && takeValue();
            options.hostsFile = value;
        } else if (name == QLatin1String("--jobs")) {
            ok = forCommand(Configure) && takeValue();
            if (ok && !positiveNumber(value, options.jobs)) {
                options.error = QStringLiteral("--jobs needs a whole number above 0");
                ok = false;
            }
        } else if (name == QLatin1String("--worker")) {
            ok = forCommand(Configure) && noValue();
            options.worker = true;
        } else {
            options.error = QStringLiteral("unknown option %1").arg(name);
            ok = false;
        }
        if (!ok)
            return options;
    }

    if (options.help || options.version)
        return options;
    if (options.command == NoCommand) {
        options.error = QStringLiteral("a command is needed: scan or configure");
    } else if (options.command == Configure) {
        if (!options.ssidGiven)
            options.error = QStringLiteral("--ssid NAME is needed");
        else if (options.keyType.isEmpty())
            options.error = QStringLiteral("--key-type TYPE is needed");
        else if (options.hosts.isEmpty() && options.hostsFile.isEmpty())
            options.error = QStringLiteral("name at least one camera (HOST or --hosts-file FILE)");
        else if (options.passwordFile == QLatin1String("-") ||
                 options.newPasswordFile == QLatin1String("-"))
            options.error = QStringLiteral("only the network key can come from standard input");
    }
    return options;
}

QString CliOptions::exitStatusTable()
{
    return QStringLiteral(
        "Exit status:\n"
        "   0  success: the camera joined the network (every camera, with several); a scan ran\n"
        "   1  several cameras: at least one did not succeed (see the summary)\n"
        "   2  usage: unknown option, missing setting or secret, unreadable file\n"
        "   3  the Wi-Fi settings or the new password fail the checks of the wizard's dialogs\n"
        "   4  scan: the DNS-SD service (avahi-daemon) cannot be used\n"
        "  11  the camera did not answer the version request (outcome 1, failed)\n"
        "  13  the camera reported an error (outcome 3)\n"
        "  14  the session was cancelled: interrupted by Ctrl+C or SIGTERM (outcome 4)\n"
        "  15  the camera joined the network but cannot reach the Internet (outcome 5)\n"
        "  16  the camera did not answer, or reported no result in time (outcome 6)\n"
        "  18  the camera reported error 503 (outcome 8)\n"
        "  19  Wi-Fi unavailable on the camera (outcome 9)\n"
        "  20  the camera refused the setup password\n"
        "  21  the camera asks for a setup password and none was given\n"
        "  22  several cameras: the process for one camera failed (summary only)\n");
}

QString CliOptions::helpText(Command command)
{
    const QString program = QStringLiteral("lumetra-wifi-cli");
    switch (command) {
    case Scan:
        return QStringLiteral(
                   "Usage: %1 scan [--time SECONDS] [--json] [--verbose]\n"
                   "\n"
                   "Looks for Lumetra Nomo cameras on the local network (DNS-SD, \"_http._tcp\")\n"
                   "for 10 seconds, then prints one line per camera: its name, its host name\n"
                   "(the HOST for configure) and its addresses, separated by tabs.\n"
                   "\n"
                   "  --time SECONDS  look for this long instead of 10 seconds\n"
                   "  --json          one JSON object per camera and line:\n"
                   "                  {\"name\": ..., \"host\": ..., \"addresses\": [...]}\n"
                   "  --verbose       the DNS-SD trace on standard error\n"
                   "\n%2")
            .arg(program, exitStatusTable());
    case Configure:
        return QStringLiteral(
                   "Usage: %1 configure HOST... --ssid NAME --key-type TYPE [options]\n"
                   "\n"
                   "Moves each camera onto the Wi-Fi network NAME, as the wizard does: logs in,\n"
                   "optionally sets a new setup password, sends the network settings and waits\n"
                   "for the camera's result (at least 15 seconds). Progress goes to standard\n"
                   "error, one outcome line per camera to standard output.\n"
                   "\n"
                   "  --ssid NAME               the network name\n"
                   "  --key-type TYPE           WPA-AES, WPA-TKIP, WPA2-AES, WPA2-TKIP, WEP or\n"
                   "                            \"No Authentication\"\n"
                   "  --key-file FILE           the network key from FILE (- : standard input);\n"
                   "                            otherwise from LUMETRA_WIFI_KEY\n"
                   "  --hex-key                 a WEP key typed as 10 or 26 hex digits (without\n"
                   "                            it a WEP key is 5 or 13 characters, sent as hex)\n"
                   "  --password-file FILE      the camera's setup password from FILE; otherwise\n"
                   "                            from LUMETRA_SETUP_PASSWORD\n"
                   "  --new-password-file FILE  set this new setup password (at least 4\n"
                   "                            characters); without it the password stays\n"
                   "  --hosts-file FILE         more cameras, one HOST per line\n"
                   "  --jobs N                  with several cameras, configure N at a time\n"
                   "                            (default 4), each in a process of its own\n"
                   "  --json                    outcome lines as JSON objects: {\"host\", \"outcome\",\n"
                   "                            \"number\", \"exit\", \"message\"}\n"
                   "  --verbose                 the session trace on standard error (secrets\n"
                   "                            masked)\n"
                   "\n"
                   "Secrets are never taken from the command line. A file holds the secret on\n"
                   "its first line; one line break at its end is ignored.\n"
                   "With several cameras a summary table follows the outcome lines (on standard\n"
                   "error with --json).\n"
                   "\n%2")
            .arg(program, exitStatusTable());
    case NoCommand:
        break;
    }
    return QStringLiteral("Usage: %1 scan [--time SECONDS] [--json]\n"
                          "       %1 configure HOST... --ssid NAME --key-type TYPE [options]\n"
                          "       %1 COMMAND --help\n"
                          "\n"
                          "The command-line companion of the Lumetra Wi-Fi Setup Tool: finds\n"
                          "Lumetra Nomo cameras and moves them onto a Wi-Fi network, without a\n"
                          "display, one camera or many.\n"
                          "\n"
                          "Environment: LUMETRA_SETUP_PASSWORD (the setup password),\n"
                          "LUMETRA_WIFI_KEY (the network key), when no file is named for them.\n"
                          "\n%2")
        .arg(program, exitStatusTable());
}
