// The road through the real wizard, run inside the network-namespace harness: its avahi-daemon
// announces "Dovrel Nomo 0001", "Dovrel_Nomo_0002" and "Office Printer", all on the namespace's
// own host, where the simulated camera listens on port 80 over real TLS. The successful road is
// taken with the keys a keyboard user has: Tab, Shift+Tab, arrows, Space, Enter and typed text.
#include "agent/agenttiming.h"
#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "modaldialoghandler.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <memory>

namespace {

#ifdef NOMO_ROAD_REAL_TIMING
constexpr int kScanWaitMs = 15000;
constexpr bool kByTimer = true; // users get the scan's own 10 s timer
#else
constexpr int kScanWaitMs = 12000;
constexpr bool kByTimer = false;
#endif

QPushButton *button(QWidget *page, const QString &text)
{
    for (QPushButton *b : page->findChildren<QPushButton *>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// The choices offered, sorted, and how many are ticked.
QStringList choices(TabConfigureOneNomo *page)
{
    QStringList labels;
    int ticked = 0;
    for (QRadioButton *b : page->choiceButtons()) {
        labels << b->text();
        ticked += b->isChecked() ? 1 : 0;
    }
    labels.sort();
    return labels << QString::number(ticked);
}

// A key as the user types it: to the widget that has the keyboard focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// Answers the next dialog by keyboard once it has the focus; a dialog of another class is closed.
ModalDialogHandler::Action byKeyboard(const char *dialogClass, std::function<void()> answer)
{
    return [=](QWidget *modal) {
        if (QTest::qWaitFor([modal] {
                return QApplication::focusWidget() &&
                       QApplication::focusWidget()->window() == modal;
            }) &&
            modal->inherits(dialogClass))
            answer();
        else
            modal->close();
    };
}

} // namespace

class TestRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void scanChooseConfigureSucceed();

private:
    std::unique_ptr<NomoWizard> m_wizard;
    std::unique_ptr<SimulatedCamera> m_camera;
};

void TestRoad::initTestCase()
{
    QVERIFY2(!qEnvironmentVariableIsEmpty("NOMO_NETNS_HOSTNAME"),
             "run through tests/netns/netns-run.sh");
#ifndef NOMO_ROAD_REAL_TIMING
    AgentTiming::setScale(0.05);
    // Slow machines and sanitizer builds need more than a scaled 3 s to move a few KiB over TLS.
    AgentTiming::setTransferTimeoutMs(30000);
#endif
}

void TestRoad::init()
{
    m_camera = std::make_unique<SimulatedCamera>(CameraScenario::named(QStringLiteral("password")));
    QVERIFY2(m_camera->listen(QHostAddress::AnyIPv4, 80), qPrintable(m_camera->errorString()));
    m_wizard = std::make_unique<NomoWizard>(nullptr);
    m_wizard->show();
    QVERIFY(QTest::qWaitForWindowActive(m_wizard.get()));
    QTRY_VERIFY(QApplication::focusWidget());
    press(Qt::Key_Return); // "Start" has the focus
}

void TestRoad::cleanup()
{
    m_wizard.reset();
    m_camera.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestRoad::scanChooseConfigureSucceed()
{
    // From a fresh scan on page 1 to page 2, with both cameras and the printer resolved.
    NomoWizard &wizard = *m_wizard;
    QCOMPARE(wizard.currentPageIndex(), 1);
    QVERIFY(wizard.scanPage()->devices().isEmpty());
    QVERIFY(wizard.scanPage()->isScanning());
    QTRY_VERIFY_WITH_TIMEOUT(wizard.scanPage()->devices().size() >= 2 &&
                                 wizard.scanPage()->resolveCount() >= 3,
                             kScanWaitMs);
    if (kByTimer)
        QTRY_COMPARE_WITH_TIMEOUT(wizard.currentPageIndex(), 2, kScanWaitMs);
    else
        button(wizard.scanPage(), QStringLiteral("Continue to Next Step"))->click();
    QCOMPARE(wizard.currentPageIndex(), 2);
    QVERIFY(!wizard.scanPage()->isScanning());
    QCOMPARE(choices(wizard.devicePage()),
             (QStringList{"Lumetra IP Camera 0001", "Lumetra IP Camera0002", "0"}));
    QVERIFY(!wizard.devicePage()->continueButton()->isEnabled());
    // The focus waits on the first camera; with nothing chosen Enter goes nowhere. Both cameras
    // stand on the namespace's host.
    wizard.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    const QList<QRadioButton *> choices = wizard.devicePage()->choiceButtons();
    QCOMPARE(QApplication::focusWidget(), choices.value(0));
    press(Qt::Key_Return);
    press(Qt::Key_Escape); // ignored by the wizard
    QVERIFY(wizard.isVisible());
    QCOMPARE(wizard.currentPageIndex(), 2);
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    press(Qt::Key_Tab); // to the buttons and back
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), choices.value(1));
    QVERIFY(choices.value(1)->isChecked());

    ModalDialogHandler modal;
    QStringList prompts;
    const auto password = [&](const char *text, bool change) {
        return byKeyboard("TabDeviceauthentication", [&prompts, text, change] {
            prompts << QApplication::activeModalWidget()->findChild<QLabel *>()->text();
            QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(text));
            press(Qt::Key_Tab);
            if (change)
                press(Qt::Key_Space); // "Change password"
            press(Qt::Key_Return);
        });
    };
    modal.expect(password("not-the-password", false));
    modal.expect(password("Nomo-1234", true));
    modal.expect(byKeyboard("TabChangePassword", [] {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-5678"));
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-5678"));
        press(Qt::Key_Enter);
    }));
    modal.expect(byKeyboard("TabWifiCredentials", [&] {
        press(Qt::Key_Tab); // from the network, "HomeNet", to its key
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("home-key-1"));
        press(Qt::Key_Return);
    }));
    press(Qt::Key_Return); // "Continue": the whole session runs inside this key press
    QCOMPARE(modal.handled(), 4);
    QCOMPARE(prompts, (QStringList{"Enter the Lumetra - Wi-Fi setup password",
                                   "Incorrect password.  Please try again."}));
    QCOMPARE(wizard.communicationPage()->host(), qEnvironmentVariable("NOMO_NETNS_HOSTNAME"));
    QCOMPARE(wizard.currentPageIndex(), 4);
    QVERIFY(wizard.resultsPage()
                ->findChild<QLabel *>(QStringLiteral("textLabel"))
                ->text()
                .contains("now connected to the wireless network"));
    QCOMPARE(m_camera->password(), QStringLiteral("Nomo-5678"));
    QCOMPARE(m_camera->configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(m_camera->configuredKey(), QStringLiteral("home-key-1"));

    // After success only "Exit" is left, and Tab reaches it. The window manager hands the wizard
    // the keyboard back when the last dialog has closed; offscreen, nothing does.
    QVERIFY(!button(wizard.resultsPage(), QStringLiteral("Return to Wi-Fi Setup"))->isVisible());
    wizard.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    QPushButton *exit = button(wizard.resultsPage(), QStringLiteral("Exit"));
    for (int i = 0; i < 4 && QApplication::focusWidget() != exit; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), exit);
}

QTEST_MAIN(TestRoad)
#include "tst_road.moc"
