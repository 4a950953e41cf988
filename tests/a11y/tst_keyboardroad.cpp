#include "agent/agenttiming.h"
#include "app/nomowizard.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabchangepassword.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabnomocommunication.h"
#include "pages/tabwificredentials.h"
#include "tools/camerasim/simulatedcamera.h"

#include "a11yhelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHostInfo>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>

// The whole road from the welcome page to the success page with nothing but the keys a keyboard
// user has: Tab, Shift+Tab, arrows, Space, Enter and typed text. The camera is the simulated one
// in this process; the scan's finding is handed to the scan page as its resolver would.

namespace {

const QHostAddress kCameraAddress(QStringLiteral("127.0.0.73"));
// Nothing listens here: choosing this camera by mistake ends the session without success.
const QString kWrongHost = QStringLiteral("127.0.0.74");
const QString kPassword = QStringLiteral("Nomo-1234");
const QString kNewPassword = QStringLiteral("Nomo-5678");
const QString kKey = QStringLiteral("home-key-1");

// Runs the keyboard user's answer to each modal dialog as it comes up, in order. Each step gets
// the dialog once it is shown with the keyboard focus inside it; a step that finds something
// wrong returns the fault, and the dialog is then rejected so the road ends instead of hanging.
class DialogKeyboardScript : public QObject
{
public:
    using Step = std::function<QString(QDialog *)>;

    explicit DialogKeyboardScript(QList<Step> steps) : m_steps(std::move(steps))
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogKeyboardScript::poll);
        m_timer.start(10);
    }

    QStringList faults() const { return m_faults; }
    int remaining() const { return int(m_steps.size()); }

private:
    void poll()
    {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog == m_last || !dialog->isVisible() || !dialog->isActiveWindow())
            return;
        QWidget *focus = QApplication::focusWidget();
        if (!focus || focus->window() != dialog)
            return;
        m_last = dialog;
        const QString fault = m_steps.isEmpty()
                                  ? QStringLiteral("unexpected dialog %1").arg(describe(dialog))
                                  : m_steps.takeFirst()(dialog);
        if (!fault.isEmpty()) {
            m_faults << fault;
            m_steps.clear();
            dialog->reject();
        }
    }

    QList<Step> m_steps;
    QStringList m_faults;
    QPointer<QDialog> m_last;
    QTimer m_timer;
};

QString expectFocus(const QString &name)
{
    QWidget *focus = QApplication::focusWidget();
    const QString spoken = focus ? spokenName(focus) : QString();
    if (spoken == name)
        return QString();
    return QStringLiteral("focus on \"%1\" (%2), expected \"%3\"")
        .arg(spoken, focus ? describe(focus) : QStringLiteral("nothing"), name);
}

} // namespace

class TestKeyboardRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void welcomeToSuccessByKeyboard();
};

void TestKeyboardRoad::initTestCase()
{
    AgentTiming::setScale(0.01);
    // A sanitizer build may take longer than a scaled transfer timeout for one TLS handshake.
    AgentTiming::setTransferTimeoutMs(60000);
    TabScanNetwork::setScanDuration(600000);
}

void TestKeyboardRoad::welcomeToSuccessByKeyboard()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    NomoWizard wizard(nullptr);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));

    // Welcome page: Start has the focus and answers Enter.
    QTRY_VERIFY(QApplication::focusWidget());
    QVERIFY(pressKey(Qt::Key_Return));
    QCOMPARE(wizard.currentPageIndex(), 1);

    // The scan finds two cameras; the second is the one that answers.
    QHostInfo wrong;
    wrong.setHostName(kWrongHost);
    wizard.scanPage()->RecordResolved(QStringLiteral("Dovrel Nomo 0001"), wrong);
    QHostInfo right;
    right.setHostName(kCameraAddress.toString());
    wizard.scanPage()->RecordResolved(QStringLiteral("Dovrel Nomo 0002"), right);
    QVERIFY(pressKey(Qt::Key_Escape));
    QCOMPARE(wizard.currentPageIndex(), 1);
    QVERIFY(wizard.isVisible());
    QVERIFY(pressKey(Qt::Key_Enter));
    QCOMPARE(wizard.currentPageIndex(), 2);

    // Device page: the focus waits on the first camera, nothing is chosen yet.
    TabConfigureOneNomo *devices = wizard.devicePage();
    QCOMPARE(devices->choiceButtons().size(), 2);
    QCOMPARE(QApplication::focusWidget(), devices->choiceButtons().at(0));
    QVERIFY(!devices->continueButton()->isEnabled());
    // Enter with nothing chosen goes nowhere; Escape neither.
    QVERIFY(pressKey(Qt::Key_Return));
    QVERIFY(pressKey(Qt::Key_Escape));
    QCOMPARE(wizard.currentPageIndex(), 2);
    QVERIFY(pressKey(Qt::Key_Down));
    QCOMPARE(QApplication::focusWidget(), devices->choiceButtons().at(1));
    QVERIFY(pressKey(Qt::Key_Space));
    QVERIFY(devices->choiceButtons().at(1)->isChecked());
    QVERIFY(devices->continueButton()->isEnabled());
    // Tab leaves the choice for the buttons, Shift+Tab comes back to it.
    QVERIFY(pressKey(Qt::Key_Tab));
    QVERIFY2(qobject_cast<QPushButton *>(QApplication::focusWidget()),
             qPrintable(describe(QApplication::focusWidget())));
    QVERIFY(pressKey(Qt::Key_Backtab, Qt::ShiftModifier));
    QCOMPARE(QApplication::focusWidget(), devices->choiceButtons().at(1));

    DialogKeyboardScript script({
        [](QDialog *d) -> QString {
            if (!qobject_cast<TabDeviceauthentication *>(d))
                return QStringLiteral("expected the password dialog, got %1").arg(describe(d));
            if (QString f = expectFocus(QStringLiteral("Wi-Fi setup password")); !f.isEmpty())
                return f;
            typeText(kPassword);
            pressKey(Qt::Key_Tab);
            if (QString f = expectFocus(QStringLiteral("Change password")); !f.isEmpty())
                return f;
            pressKey(Qt::Key_Space);
            if (!d->findChild<QCheckBox *>()->isChecked())
                return QStringLiteral("Space did not tick \"Change password\"");
            pressKey(Qt::Key_Return);
            return QString();
        },
        [](QDialog *d) -> QString {
            if (!qobject_cast<TabChangePassword *>(d))
                return QStringLiteral("expected the change dialog, got %1").arg(describe(d));
            if (QString f = expectFocus(QStringLiteral("New password")); !f.isEmpty())
                return f;
            typeText(kNewPassword);
            pressKey(Qt::Key_Tab);
            if (QString f = expectFocus(QStringLiteral("Confirm new password")); !f.isEmpty())
                return f;
            typeText(kNewPassword);
            pressKey(Qt::Key_Enter);
            return QString();
        },
        [](QDialog *d) -> QString {
            if (!qobject_cast<TabWifiCredentials *>(d))
                return QStringLiteral("expected the Wi-Fi dialog, got %1").arg(describe(d));
            if (QString f = expectFocus(QStringLiteral("Wireless network name (SSID)"));
                !f.isEmpty())
                return f;
            // The camera lists "HomeNet", a nameless network and "Café": down twice and back up
            // twice lands on "HomeNet" again.
            auto *ssid = d->findChild<QComboBox *>(QStringLiteral("ssidCombo"));
            pressKey(Qt::Key_Down);
            pressKey(Qt::Key_Down);
            if (ssid->currentText() != QStringLiteral("Café"))
                return QStringLiteral("arrows chose \"%1\"").arg(ssid->currentText());
            pressKey(Qt::Key_Up);
            pressKey(Qt::Key_Up);
            pressKey(Qt::Key_Tab);
            if (QString f = expectFocus(QStringLiteral("Wireless network key (password)"));
                !f.isEmpty())
                return f;
            typeText(kKey);
            pressKey(Qt::Key_Tab);
            if (QString f = expectFocus(QStringLiteral("Wireless network key type")); !f.isEmpty())
                return f;
            pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
            if (QString f = expectFocus(QStringLiteral("Wireless network key (password)"));
                !f.isEmpty())
                return f;
            pressKey(Qt::Key_Return);
            return QString();
        },
    });

    // The whole session runs inside this key press: Enter on the chosen camera is "Continue".
    QVERIFY(pressKey(Qt::Key_Return));
    QVERIFY2(script.faults().isEmpty(), qPrintable(script.faults().join(QLatin1Char('\n'))));
    QCOMPARE(script.remaining(), 0);
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(wizard.communicationPage()->result(), ComResultSuccess);
    QCOMPARE(camera.password(), kNewPassword);
    QCOMPARE(camera.configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(camera.configuredKey(), kKey);

    // Results page: after success only "Exit" is left, and Tab reaches it.
    // The window manager hands the wizard the keyboard back when the last dialog has closed;
    // the offscreen platform has none that would.
    wizard.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    QPushButton *exitButton = nullptr;
    for (QPushButton *b : wizard.resultsPage()->findChildren<QPushButton *>()) {
        if (b->text() == QStringLiteral("Exit"))
            exitButton = b;
    }
    QVERIFY(exitButton);
    for (int i = 0; i < 4 && QApplication::focusWidget() != exitButton; ++i)
        QVERIFY(pressKey(Qt::Key_Tab));
    QCOMPARE(QApplication::focusWidget(), exitButton);
}

QTEST_MAIN(TestKeyboardRoad)
#include "tst_keyboardroad.moc"
