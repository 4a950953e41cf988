#pragma once

#include <QString>
#include <QStringList>

class CliOptions;
class CliSecrets;
class QIODevice;
class QTextStream;

// lumetra-wifi-cli: parses the command line, runs the command and returns its exit status.
// Needs an application object able to create widgets (the agent drives a progress bar); no
// window is ever shown, so the "offscreen" platform serves.
class CliApp
{
public:
    // in: standard input, for "--key-file -" and for a per-camera process's secrets.
    CliApp(QTextStream &out, QTextStream &err, QIODevice *in);

    // arguments: without the program name.
    int run(const QStringList &arguments);

    // The program the per-camera processes run; this program unless set.
    void setWorkerProgram(const QString &program) { m_workerProgram = program; }

private:
    int configure(const CliOptions &options);
    bool readHosts(const CliOptions &options, QStringList &hosts);
    int usageError(const QString &message);

    QTextStream &m_out;
    QTextStream &m_err;
    QIODevice *m_in;
    QString m_workerProgram;
};
