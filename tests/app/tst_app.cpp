#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "app/wifisetuptool.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSharedMemory>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/shm.h>

namespace {
const QString kKey = QStringLiteral("DovrelWifiTool");

// Attaching and detaching also removes a segment that a killed copy of the tool left behind.
bool instanceKeyHeld()
{
    QSharedMemory probe(kKey);
    return probe.attach() && probe.detach();
}

// The tool's recovery from a killed copy needs System V shared memory behind the key, as Debian's
// Qt 6.4 uses on Linux: the segment's key is made from the file that the native key names.
bool systemVSegmentExists()
{
    const key_t key = ::ftok(QFile::encodeName(QSharedMemory(kKey).nativeKey()).constData(), 'Q');
    return key != -1 && ::shmget(key, 0, 0) != -1;
}

// The top-level windows that the event loop of runWifiSetupTool() shows, described and closed.
QStringList runAndDescribe()
{
    QStringList seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&seen] {
        QWidget *w = QApplication::activeModalWidget();
        for (QWidget *top : QApplication::topLevelWidgets())
            w = !w && top->isVisible() && qobject_cast<NomoWizard *>(top) ? top : w;
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            seen << box->windowTitle() << box->text() << QString::number(box->icon())
                 << QString::number(box->standardButtons().toInt());
        } else if (auto *wizard = qobject_cast<NomoWizard *>(w)) {
            // The window system adds the plain window type with its title and menu, but no
            // other hint than the close button that was asked for.
            seen << wizard->windowTitle()
                 << QString::number(wizard->windowFlags() & ~Qt::WindowTitleHint &
                                        ~Qt::WindowSystemMenuHint,
                                    16)
                 << QApplication::font().toString() << qApp->styleSheet()
                 << (QApplication::windowIcon().isNull() ? "no icon" : "icon")
                 << QString::number(wizard->currentPageIndex());
        }
        if (w)
            w->close();
    });
    timer.start(20);
    seen.prepend(QString::number(runWifiSetupTool(*qApp)));
    return seen;
}
} // namespace

class TestApp : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QTRY_VERIFY2_WITH_TIMEOUT(!instanceKeyHeld(), "another copy of the tool is running", 2000);
    }

    void cleanup()
    {
        m_first.kill();
        m_first.waitForFinished();
        QTRY_VERIFY(!instanceKeyHeld());
    }

    void secondStartIsRefused()
    {
        QVERIFY(startFirstInstance());
        QVERIFY2(systemVSegmentExists(), "the instance key is no System V segment: the recovery "
                                         "from a killed copy of the tool does not work that way");
        // Only the message box, with the platform's look: no wizard.
        QCOMPARE(runAndDescribe(),
                 (QStringList{"0", "Lumetra", "Another instance of this tool is already running !!",
                              QString::number(QMessageBox::Information),
                              QString::number(QMessageBox::Ok)}));
        QCOMPARE(qApp->styleSheet(), QString());
        // The first instance goes on, still holding the key.
        QCOMPARE(m_first.state(), QProcess::Running);
        QVERIFY(instanceKeyHeld());
    }

    void startShowsTheWizard_data()
    {
        QTest::addColumn<bool>("iconFile");
        QTest::newRow("icon file in working directory") << true;
        QTest::newRow("no icon file, after a killed instance") << false;
    }

    void startShowsTheWizard()
    {
        QFETCH(bool, iconFile);
        if (!iconFile) {
            QVERIFY(startFirstInstance());
            ::kill(pid_t(m_first.processId()), SIGKILL);
            QVERIFY(m_first.waitForFinished());
            QVERIFY(systemVSegmentExists()); // left behind, to be recovered from
        }
        QTemporaryDir dir;
        QVERIFY(!iconFile || QFile::copy(NOMO_ICON_FILE, dir.filePath("favicon_lm.ico")));
        const QString previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QApplication::setWindowIcon(QIcon());
        const QStringList seen = runAndDescribe();
        QDir::setCurrent(previous);
        QCOMPARE(seen, (QStringList{"0", "Lumetra - Wi-Fi Setup Tool - v1.5.3.0",
                                    QString::number(Qt::Window | Qt::WindowCloseButtonHint, 16),
                                    QFont("Arial", 10).toString(),
                                    "QDialog { background: white; } QPushButton  {background: "
                                    "#EA7E1D}",
                                    iconFile ? "icon" : "no icon", "0"}));
        QVERIFY(!systemVSegmentExists()); // released when the wizard closed
        qApp->setStyleSheet(QString());
    }

    void keysAndMoveValuesChoosePages()
    {
        NomoWizard wizard(nullptr);
        // Navigation alone: the scan and the session that pages 1 and 3 start run elsewhere.
        QObject::disconnect(wizard.pageStack(), &QStackedWidget::currentChanged, &wizard,
                            &NomoWizard::OnCurrentWidgetChanged);
        QVERIFY(!wizard.scanPage()->isScanning()); // nothing started for page 0
        TabWelcome *welcome = wizard.welcomePage();
        const QList<QLabel *> labels = welcome->findChildren<QLabel *>();
        QVERIFY(!labels.at(0)->pixmap().isNull());
        QCOMPARE(labels.at(1)->text(),
                 QStringLiteral("<html ><body><p>Welcome to the Lumetra") + QChar(0xAE) +
                     " - Wi-Fi Setup Tool. <br/>Simply follow the instructions on each screen to "
                     "set up Lumetra  on the wireless network. <br/> For detailed information, "
                     "refer to the Lumetra Installation Guide.<br/><br/>Before you start, make "
                     "sure the Lumetra camera is powered up and connected to the network router by "
                     "its Ethernet cable.</body></html>");
        QVERIFY(labels.at(1)->wordWrap());
        auto *start = welcome->findChild<QPushButton *>();
        QCOMPARE(start->text(), QStringLiteral("Start"));
        // Checked before the window is shown: there the focus alone would make it the default.
        QVERIFY(start->isDefault());
        // Enter presses the shown page's default button; Escape neither closes nor moves.
        wizard.show();
        QVERIFY(QTest::qWaitForWindowExposed(&wizard));
        QSignalSpy rejected(&wizard, &QDialog::rejected);
        for (int page : {1, 2}) {
            QTest::keyClick(&wizard, Qt::Key_Return);
            QCOMPARE(wizard.currentPageIndex(), page);
            QTest::keyClick(&wizard, Qt::Key_Escape);
            QTest::keyClick(wizard.pageStack()->currentWidget(), Qt::Key_Escape);
            QCOMPARE(wizard.currentPageIndex(), page);
        }
        QCOMPARE(rejected.count(), 0);
        // A chosen camera leads on to page 3, the end of the session to 4, the results page's
        // return to page 1 (a fresh scan), and 4 and above back to page 2.
        wizard.devicePage()->setDevices({QStringLiteral("Lumetra-5@h")});
        wizard.devicePage()->choiceButtons().first()->click();
        wizard.devicePage()->continueButton()->click();
        QCOMPARE(wizard.currentPageIndex(), 3);
        for (const auto &[value, page] :
             QList<QPair<int, int>>{{3, 4}, {0, 1}, {4, 2}, {1000, 2}}) {
            wizard.MoveWidgetSlot(value);
            QCOMPARE(wizard.currentPageIndex(), page);
        }
    }

private:
    // Starts the real tool as the first instance and waits until it holds the instance key.
    bool startFirstInstance()
    {
        m_first.start(NOMO_APP_BINARY, {});
        return m_first.waitForStarted() && QTest::qWaitFor(instanceKeyHeld, 10000);
    }

    QProcess m_first;
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
