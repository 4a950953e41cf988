#include "wifisetuptool.h"

#include "app/nomowizard.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QMessageBox>
#include <QSharedMemory>

namespace {

const char kInstanceKey[] = "DovrelWifiTool";
const char kVersion[] = "v1.5.3.0";

// A segment survives an instance that was killed or crashed, and would refuse every later start.
// Attaching and detaching again removes such an orphan (the last detach destroys it), while a
// segment that a running instance holds stays attached by that instance and is left alone.
// This relies on QSharedMemory being backed by System V shared memory, as Debian's Qt 6.4 builds
// it on Linux: its detach removes a segment that nobody else has attached. With POSIX shared
// memory an orphan would stay and refuse every start; the start-up test checks the backing.
void releaseOrphanedSegment()
{
    QSharedMemory probe(QString::fromLatin1(kInstanceKey));
    if (probe.attach())
        probe.detach();
}

} // namespace

int runWifiSetupTool(QApplication &app)
{
    releaseOrphanedSegment();
    QSharedMemory instance(QString::fromLatin1(kInstanceKey));
    if (!instance.create(1, QSharedMemory::ReadWrite)) {
        QMessageBox::information(nullptr, QObject::tr("Lumetra"),
                                 QObject::tr("Another instance of this tool is already running !!"),
                                 QMessageBox::Ok, QMessageBox::NoButton);
        return 0;
    }

    applyWifiSetupLook(app);
    NomoWizard wizard(nullptr);
    prepareWizardWindow(wizard);
    wizard.show();
    return app.exec();
}

void applyWifiSetupLook(QApplication &app)
{
    QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
    // Every size the file holds, so the desktop shows the one drawn for its panel, title bar or
    // switcher. An icon made from a missing or unreadable file is not null but holds no image:
    // then there is no icon at all.
    const QIcon icon(QStringLiteral("favicon_lm.ico"));
    QApplication::setWindowIcon(icon.availableSizes().isEmpty() ? QIcon() : icon);
    app.setStyleSheet(
        QStringLiteral("QDialog { background: white; } QPushButton  {background: #EA7E1D}"));
}

void prepareWizardWindow(NomoWizard &wizard)
{
    wizard.setWindowFlags(Qt::WindowCloseButtonHint);
    wizard.setWindowTitle(QObject::tr("Lumetra - Wi-Fi Setup Tool - %1")
                              .arg(QString::fromLatin1(kVersion), 0, QLatin1Char(' ')));
}
