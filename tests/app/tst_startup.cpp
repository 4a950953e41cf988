#include "app/nomowizard.h"
#include "app/wifisetuptool.h"

#include "modaldialoghandler.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

namespace {

const QString kKey = QStringLiteral("DovrelWifiTool");

bool instanceKeyHeld()
{
    QSharedMemory probe(kKey);
    if (!probe.attach())
        return false;
    probe.detach();
    return true;
}

// Starts the real tool as the first instance and waits until it holds the instance key.
bool startFirstInstance(QProcess &first)
{
    first.setProgram(QStringLiteral(NOMO_APP_BINARY));
    first.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    first.start();
    if (!first.waitForStarted())
        return false;
    QDeadlineTimer deadline(10000);
    while (!instanceKeyHeld() && !deadline.hasExpired())
        QTest::qWait(20);
    return instanceKeyHeld();
}

void stop(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
    }
}

struct WizardSeen
{
    QString title;
    Qt::WindowFlags flags;
    QFont font;
    QString styleSheet;
    bool hasIcon = false;
    int page = -1;
    bool seen = false;
};

// Inspects the wizard that runWifiSetupTool() shows, then closes it so the event loop ends.
void inspectAndCloseWizard(WizardSeen *out)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, out] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *wizard = qobject_cast<NomoWizard *>(w);
            if (!wizard || !wizard->isVisible())
                continue;
            out->seen = true;
            out->title = wizard->windowTitle();
            out->flags = wizard->windowFlags();
            out->font = QApplication::font();
            out->styleSheet = qApp->styleSheet();
            out->hasIcon = !QApplication::windowIcon().isNull();
            out->page = wizard->currentPageIndex();
            timer->deleteLater();
            wizard->close();
            return;
        }
    });
    timer->start();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void secondStartIsRefused();
    void startAfterKilledInstanceSucceeds();
    void startSetsLookAndTitle_data();
    void startSetsLookAndTitle();

private:
    QProcess m_first;
};

void TestStartup::init()
{
    // A copy of the tool killed earlier (by another test, say) leaves an orphaned key behind;
    // looking at it once removes it. A key that stays held belongs to a running copy.
    QTRY_VERIFY2_WITH_TIMEOUT(!instanceKeyHeld(), "another copy of the tool is running", 2000);
}

void TestStartup::cleanup()
{
    stop(m_first);
    QTRY_VERIFY(!instanceKeyHeld());
}

void TestStartup::secondStartIsRefused()
{
    QVERIFY(startFirstInstance(m_first));

    ModalDialogHandler modal;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool wizardShown = false;
    modal.expect([&](QWidget *w) {
        QMessageBox *box = ModalDialogHandler::messageBox(w);
        if (box) {
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            buttons = box->standardButtons();
        }
        for (QWidget *top : QApplication::topLevelWidgets())
            wizardShown |= qobject_cast<NomoWizard *>(top) != nullptr;
        ModalDialogHandler::clickButton(w, QMessageBox::Ok);
    });
    const QString styleBefore = qApp->styleSheet();
    const int status = runWifiSetupTool(*qApp);

    QCOMPARE(status, 0);
    QCOMPARE(modal.handled(), 1);
    QCOMPARE(title, QStringLiteral("Lumetra"));
    QCOMPARE(text, QStringLiteral("Another instance of this tool is already running !!"));
    QCOMPARE(icon, QMessageBox::Information);
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!wizardShown);
    QCOMPARE(qApp->styleSheet(), styleBefore);
    // The first instance goes on, still holding the key.
    QCOMPARE(m_first.state(), QProcess::Running);
    QVERIFY(instanceKeyHeld());
}

void TestStartup::startAfterKilledInstanceSucceeds()
{
    QVERIFY(startFirstInstance(m_first));
    ::kill(pid_t(m_first.processId()), SIGKILL);
    QVERIFY(m_first.waitForFinished());

    ModalDialogHandler modal;
    modal.expect([](QWidget *w) { ModalDialogHandler::clickButton(w, QMessageBox::Ok); });
    WizardSeen seen;
    inspectAndCloseWizard(&seen);
    const int status = runWifiSetupTool(*qApp);
    QCOMPARE(status, 0);
    QVERIFY2(modal.handled() == 0, qPrintable(modal.seen().join(QLatin1Char('\n'))));
    QVERIFY(seen.seen);
    // The key was released again when the wizard closed.
    QVERIFY(!instanceKeyHeld());
}

void TestStartup::startSetsLookAndTitle_data()
{
    QTest::addColumn<bool>("iconFilePresent");
    QTest::newRow("icon file in working directory") << true;
    QTest::newRow("no icon file") << false;
}

void TestStartup::startSetsLookAndTitle()
{
    QFETCH(bool, iconFilePresent);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (iconFilePresent)
        QVERIFY(QFile::copy(QStringLiteral(NOMO_ICON_FILE), dir.filePath("favicon_lm.ico")));
    const QString previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QApplication::setWindowIcon(QIcon());

    WizardSeen seen;
    inspectAndCloseWizard(&seen);
    const int status = runWifiSetupTool(*qApp);
    QDir::setCurrent(previous);

    QCOMPARE(status, 0);
    QVERIFY(seen.seen);
    QCOMPARE(seen.title, QStringLiteral("Lumetra - Wi-Fi Setup Tool - v1.5.3.0"));
    // Only the close button was asked for; the window system adds the plain window type and title
    // bar that every top-level window gets, but the dialog type and its other hints are gone.
    QCOMPARE(seen.flags & Qt::WindowType_Mask, Qt::Window);
    QVERIFY(seen.flags.testFlag(Qt::WindowCloseButtonHint));
    QCOMPARE(seen.flags & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint
                           | Qt::WindowStaysOnTopHint | Qt::FramelessWindowHint),
             Qt::WindowFlags());
    QCOMPARE(seen.font.family(), QStringLiteral("Arial"));
    QCOMPARE(seen.font.pointSize(), 10);
    QVERIFY(!seen.font.bold() && !seen.font.italic());
    QCOMPARE(seen.styleSheet,
             QStringLiteral("QDialog { background: white; } QPushButton  {background: #EA7E1D}"));
    QCOMPARE(seen.page, 0);
    QCOMPARE(seen.hasIcon, iconFilePresent);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
