// The wizard as keyboard and screen-reader users meet it: every page and dialog names its
// controls and walks its Tab stops in order, and the road from the welcome page to success can be
// taken with keys alone.
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

#include "modaldialoghandler.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHostInfo>
#include <QLabel>
#include <QProgressBar>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>

#include <memory>

using DialogFactory = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogFactory)

namespace {

// The name a screen reader gets: the one given to the widget, else the one Qt derives from its text.
QString spokenName(QWidget *w)
{
    if (!w || !w->accessibleName().isEmpty())
        return w ? w->accessibleName() : QStringLiteral("(no focus)");
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

// Tab stops, progress bars and pictures below `root` that a screen reader cannot name.
QStringList unnamedControls(QWidget *root)
{
    QStringList unnamed;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(w);
        const bool picture = label && label->text().isEmpty() && !label->pixmap().isNull();
        const bool tabStop = (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
        if (w->isVisibleTo(root) && (tabStop || qobject_cast<QProgressBar *>(w) || picture) &&
            spokenName(w).trimmed().isEmpty())
            unnamed << QString::fromLatin1(w->metaObject()->className()) + ' ' + w->objectName();
    }
    return unnamed;
}

// A key as the user types it: to the widget that has the keyboard focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

// Answers a dialog by keyboard once it has the focus; a dialog found wrong is closed.
ModalDialogHandler::Action byKeyboard(const char *dialogClass, std::function<void()> answer)
{
    return [=](QWidget *modal) {
        if (QTest::qWaitFor([modal] { return QApplication::focusWidget() &&
                                             QApplication::focusWidget()->window() == modal; }) &&
            modal->inherits(dialogClass))
            answer();
        else
            modal->close();
    };
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void wizardPagesNameTheirControls();
    void dialogsByKeyboard_data();
    void dialogsByKeyboard();
    void welcomeToSuccessByKeyboard();
};

void TestAccessibility::initTestCase()
{
    AgentTiming::setScale(0.01);
    // A sanitizer build may take longer than a scaled transfer timeout for one TLS handshake.
    AgentTiming::setTransferTimeoutMs(60000);
    TabScanNetwork::setScanDuration(600000);
}

void TestAccessibility::wizardPagesNameTheirControls()
{
    NomoWizard wizard(nullptr);
    // The pages with content: two cameras to choose, a success with its picture.
    wizard.devicePage()->setDevices({"Dovrel Nomo 0001@host-a", "Dovrel Nomo 0002@host-b"});
    QPixmap picture(64, 48);
    picture.fill(Qt::gray);
    wizard.resultsPage()->setTextAndImage(ComResultSuccess, picture);
    QCOMPARE(wizard.pageStack()->count(), 5);
    for (int page = 0; page < 5; ++page) {
        const QStringList unnamed = unnamedControls(wizard.pageStack()->widget(page));
        QVERIFY2(unnamed.isEmpty(), qPrintable(QString::number(page) + ": " + unnamed.join(", ")));
    }
}

void TestAccessibility::dialogsByKeyboard_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QStringList>("stops"); // the Tab stops from the first focus on, as spoken

    const auto password = [](const QString &prompt) {
        return DialogFactory([prompt] { return new TabDeviceauthentication(prompt, nullptr); });
    };
    const QStringList wifi = {"Wireless network name (SSID)", "Wireless network key (password)",
                              "Wireless network key type"};
    QTest::newRow("password, the plain prompt is no stop")
        << password("Enter the Lumetra - Wi-Fi setup password")
        << QStringList{"Wi-Fi setup password", "Change password", "OK", "Cancel"};
    // The old password is shown but cannot be edited, so it is no Tab stop.
    QTest::newRow("change password")
        << DialogFactory([] { return new TabChangePassword(nullptr, QStringLiteral("Nomo-1")); })
        << QStringList{"New password", "Confirm new password", "OK", "Skip"};
    QTest::newRow("wifi, WEP shows the hex box")
        << DialogFactory([] { return new TabWifiCredentials(nullptr, {{"Old", "WEP"}}, nullptr); })
        << wifi + QStringList{"Hex Key  ", "Cancel", "Try Again", "Ok"};
}

// Tab walks the stops in order and round to the start, Shift+Tab the same way back; Escape
// rejects.
void TestAccessibility::dialogsByKeyboard()
{
    QFETCH(DialogFactory, make);
    QFETCH(QStringList, stops);
    std::unique_ptr<QDialog> dialog(make());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    const QStringList unnamed = unnamedControls(dialog.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    QStringList forth, back;
    for (int i = 0; i < stops.size(); ++i, press(Qt::Key_Tab))
        forth << spokenName(QApplication::focusWidget());
    for (int i = 0; i < stops.size(); ++i) {
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        back.prepend(spokenName(QApplication::focusWidget()));
    }
    QCOMPARE(forth, stops);
    QCOMPARE(back, stops); // from the first stop back round to it
    press(Qt::Key_Escape);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
}

// The whole road with the keys a keyboard user has: Tab, Shift+Tab, arrows, Space, Enter and typed
// text. The scan's finding is handed to the scan page as its resolver would.
void TestAccessibility::welcomeToSuccessByKeyboard()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QVERIFY2(camera.listen(QHostAddress("127.0.0.73")), qPrintable(camera.errorString()));
    NomoWizard wizard(nullptr);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    QTRY_VERIFY(QApplication::focusWidget());
    press(Qt::Key_Return); // "Start" has the focus
    QCOMPARE(wizard.currentPageIndex(), 1);
    for (const char *host : {"127.0.0.74", "127.0.0.73"}) { // nothing listens at the first
        QHostInfo info;
        info.setHostName(QString::fromLatin1(host));
        wizard.scanPage()->RecordResolved(QStringLiteral("Dovrel Nomo ") + host, info);
    }
    press(Qt::Key_Escape); // ignored by the wizard
    press(Qt::Key_Enter);
    QCOMPARE(wizard.currentPageIndex(), 2);

    // The focus waits on the first camera; with nothing chosen Enter goes nowhere.
    const QList<QRadioButton *> choices = wizard.devicePage()->choiceButtons();
    QCOMPARE(QApplication::focusWidget(), choices.value(0));
    press(Qt::Key_Return);
    QCOMPARE(wizard.currentPageIndex(), 2);
    press(Qt::Key_Down);
    press(Qt::Key_Space);
    press(Qt::Key_Tab); // to the buttons and back
    press(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), choices.value(1));
    QVERIFY(choices.value(1)->isChecked());

    ModalDialogHandler modal;
    modal.expect(byKeyboard("TabDeviceauthentication", [] {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-1234"));
        press(Qt::Key_Tab);
        press(Qt::Key_Space); // "Change password"
        press(Qt::Key_Return);
    }));
    modal.expect(byKeyboard("TabChangePassword", [] {
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-5678"));
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-5678"));
        press(Qt::Key_Enter);
    }));
    QString ssidSeen;
    modal.expect(byKeyboard("TabWifiCredentials", [&] {
        // "HomeNet", a nameless network and "Café": arrows choose among them.
        press(Qt::Key_Down);
        press(Qt::Key_Down);
        ssidSeen = QApplication::activeModalWidget()->findChild<QComboBox *>()->currentText();
        press(Qt::Key_Up);
        press(Qt::Key_Up);
        press(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("home-key-1"));
        press(Qt::Key_Return);
    }));
    press(Qt::Key_Return); // "Continue": the whole session runs inside this key press
    QCOMPARE(modal.handled(), 3);
    QCOMPARE(ssidSeen, QStringLiteral("Café"));
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(camera.password(), QStringLiteral("Nomo-5678"));
    QCOMPARE(camera.configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(camera.configuredKey(), QStringLiteral("home-key-1"));

    // After success only "Exit" is left, and Tab reaches it. The window manager hands the wizard
    // the keyboard back when the last dialog has closed; offscreen, nothing does.
    wizard.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    for (int i = 0; i < 4 && spokenName(QApplication::focusWidget()) != "Exit"; ++i)
        press(Qt::Key_Tab);
    QCOMPARE(spokenName(QApplication::focusWidget()), QStringLiteral("Exit"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
