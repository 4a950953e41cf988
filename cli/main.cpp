#include "cli/cliapp.h"
#include "discovery/dnssdsupport.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

int main(int argc, char **argv)
{
    nomoPrepareDnsSd();
    // No window is ever shown; the agent's progress bar needs the widget library, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");

    // The application sees only the program name: the command line is ours, not Qt's. Without a
    // desktop session Qt warns about its missing runtime directory while it starts: not our
    // user's concern.
    int qtArgc = 1;
    const QtMessageHandler previousHandler =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(qtArgc, argv);
    qInstallMessageHandler(previousHandler);
    QCoreApplication::setApplicationName(QStringLiteral("lumetra-wifi-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NOMO_VERSION));

    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QTextStream out(stdout);
    QTextStream err(stderr);
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return 2;
    return CliApp(out, err, &in).run(arguments);
}
