// The wizard as keyboard and screen-reader users meet it: every page and dialog names its
// controls and walks its Tab stops in order, and the whole road from the welcome page to success
// can be taken with keys alone.
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

#include "tests/support/modaldialoghandler.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHostInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

using DialogFactory = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogFactory)

namespace {

// The name a screen reader gets: the one given to the widget, else the one Qt derives from its
// text. A combo box on Linux reports its current value as its name, so the given name comes first.
QString spokenName(QWidget *w)
{
    if (!w)
        return QStringLiteral("(no focus)");
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name) : QString();
}

QString focusName()
{
    return spokenName(QApplication::focusWidget());
}

// Controls below `root` that a screen reader cannot name: every Tab stop, every progress bar and
// every label that shows a picture.
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
void pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget *target = QApplication::focusWidget();
    QTest::keyClick(target ? target : QApplication::activeWindow(), key, modifiers);
}

// The keyboard user's answer to a dialog, run once the dialog has the focus. A dialog found wrong
// is closed, so that the road ends instead of hanging.
ModalDialogHandler::Action byKeyboard(std::function<void(QDialog *)> answer)
{
    return [answer](QWidget *modal) {
        const auto focused = [modal] {
            QWidget *focus = QApplication::focusWidget();
            return focus && focus->window() == modal;
        };
        if (QTest::qWaitFor(focused, 5000))
            answer(qobject_cast<QDialog *>(modal));
        else
            QTest::qFail("the dialog has no keyboard focus", __FILE__, __LINE__);
        if (QTest::currentTestFailed())
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
    // The pages as they look with content: two cameras to choose, a success with its picture.
    wizard.devicePage()->setDevices(
        {QStringLiteral("Dovrel Nomo 0001@host-a"), QStringLiteral("Dovrel Nomo 0002@host-b")});
    QPixmap picture(64, 48);
    picture.fill(Qt::gray);
    wizard.resultsPage()->setTextAndImage(ComResultSuccess, picture);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));

    QCOMPARE(wizard.pageStack()->count(), 5);
    for (int page = 0; page < 5; ++page) {
        QWidget *pageWidget = wizard.pageStack()->widget(page);
        const QStringList unnamed = unnamedControls(pageWidget);
        QVERIFY2(unnamed.isEmpty(), qPrintable(QString::number(page) + ": " + unnamed.join(", ")));
        // The check looks at something: every page shows at least its logo.
        QVERIFY(!pageWidget->findChildren<QLabel *>().isEmpty());
    }
}

void TestAccessibility::dialogsByKeyboard_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QStringList>("fields");  // the Tab stops before the buttons, as spoken
    QTest::addColumn<QString>("description"); // what a screen reader adds about the first field

    const QStringList password{"Wi-Fi setup password", "Change password"};
    const QStringList change{"New password", "Confirm new password"};
    const QStringList wifi{"Wireless network name (SSID)", "Wireless network key (password)",
                           "Wireless network key type"};
    const auto passwordDialog = [](const QString &prompt) {
        return DialogFactory([prompt] { return new TabDeviceauthentication(prompt, nullptr); });
    };
    const auto wifiDialog = [](const QList<WIFINetworkEntry> &list) {
        return DialogFactory([list] { return new TabWifiCredentials(nullptr, list, nullptr); });
    };

    const QString prompt = QStringLiteral("Enter the Lumetra - Wi-Fi setup password");
    QTest::newRow("password") << passwordDialog(prompt) << password << prompt;
    QTest::newRow("password prompt with a link")
        << passwordDialog("<html><body>Forgot it? See <a href=\"https://example.com/reset\">the "
                          "guide</a>.</body></html>")
        << password << QStringLiteral("Forgot it? See the guide.");
    // The old password is shown but cannot be edited, so it is no Tab stop.
    QTest::newRow("change password")
        << DialogFactory([] { return new TabChangePassword(nullptr, QStringLiteral("Nomo-1")); })
        << change << QStringLiteral("At least 4 characters");
    QTest::newRow("wifi") << wifiDialog({{"HomeNet", "WPA2-AES"}, {"Old", "WEP"}}) << wifi
                          << QString();
    QTest::newRow("wifi WEP shows hex box")
        << wifiDialog({{"Old", "WEP"}}) << wifi + QStringList{"Hex Key  "} << QString();
}

void TestAccessibility::dialogsByKeyboard()
{
    QFETCH(DialogFactory, make);
    QFETCH(QStringList, fields);
    QFETCH(QString, description);

    std::unique_ptr<QDialog> dialog(make());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    QWidget *first = QApplication::focusWidget();
    QVERIFY(first && first->window() == dialog.get());
    QCOMPARE(spokenName(first), fields.first());
    if (!description.isEmpty())
        QCOMPARE(first->accessibleDescription(), description);
    const QStringList unnamed = unnamedControls(dialog.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));

    // Tab walks the fields top to bottom, then the buttons as they stand, and round to the start;
    // Shift+Tab walks the same way back.
    QList<QAbstractButton *> buttons = dialog->findChild<QDialogButtonBox *>()->buttons();
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton *a, QAbstractButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList expected = fields;
    for (QAbstractButton *b : buttons)
        expected << spokenName(b);
    QStringList forth;
    QStringList back;
    for (int i = 0; i < expected.size(); ++i) {
        forth << focusName();
        pressKey(Qt::Key_Tab);
    }
    QCOMPARE(QApplication::focusWidget(), first);
    for (int i = 0; i < expected.size(); ++i) {
        pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
        back.prepend(focusName());
    }
    QCOMPARE(forth, expected);
    QCOMPARE(back, expected);
    pressKey(Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
}

// The whole road with nothing but the keys a keyboard user has: Tab, Shift+Tab, arrows, Space,
// Enter and typed text. The scan's finding is handed to the scan page as its resolver would.
void TestAccessibility::welcomeToSuccessByKeyboard()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QVERIFY2(camera.listen(QHostAddress(QStringLiteral("127.0.0.73"))),
             qPrintable(camera.errorString()));
    NomoWizard wizard(nullptr);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));

    // Welcome page: Start has the focus and answers Enter.
    QTRY_VERIFY(QApplication::focusWidget());
    pressKey(Qt::Key_Return);
    QCOMPARE(wizard.currentPageIndex(), 1);

    // The scan finds two cameras; only the second answers (nothing listens at the first).
    for (const char *host : {"127.0.0.74", "127.0.0.73"}) {
        QHostInfo info;
        info.setHostName(QString::fromLatin1(host));
        wizard.scanPage()->RecordResolved(QStringLiteral("Dovrel Nomo ") + host, info);
    }
    pressKey(Qt::Key_Escape); // ignored by the wizard
    QVERIFY(wizard.isVisible());
    pressKey(Qt::Key_Enter);
    QCOMPARE(wizard.currentPageIndex(), 2);

    // Device page: the focus waits on the first camera; with nothing chosen Enter goes nowhere.
    const QList<QRadioButton *> choices = wizard.devicePage()->choiceButtons();
    QCOMPARE(choices.size(), 2);
    QCOMPARE(QApplication::focusWidget(), choices.at(0));
    pressKey(Qt::Key_Return);
    QCOMPARE(wizard.currentPageIndex(), 2);
    pressKey(Qt::Key_Down);
    pressKey(Qt::Key_Space);
    QVERIFY(choices.at(1)->isChecked());
    // Tab leaves the choice for the buttons, Shift+Tab comes back to it.
    pressKey(Qt::Key_Tab);
    QVERIFY(qobject_cast<QPushButton *>(QApplication::focusWidget()));
    pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(QApplication::focusWidget(), choices.at(1));

    ModalDialogHandler modal;
    modal.expect(byKeyboard([](QDialog *d) {
        QVERIFY(qobject_cast<TabDeviceauthentication *>(d));
        QCOMPARE(focusName(), QStringLiteral("Wi-Fi setup password"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-1234"));
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Space);
        QVERIFY(d->findChild<QCheckBox *>()->isChecked()); // "Change password"
        pressKey(Qt::Key_Return);
    }));
    modal.expect(byKeyboard([](QDialog *d) {
        QVERIFY(qobject_cast<TabChangePassword *>(d));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-5678"));
        pressKey(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Nomo-5678"));
        pressKey(Qt::Key_Enter);
    }));
    modal.expect(byKeyboard([](QDialog *d) {
        QVERIFY(qobject_cast<TabWifiCredentials *>(d));
        // The camera lists "HomeNet", a nameless network and "Café": arrows choose among them.
        auto *ssid = d->findChild<QComboBox *>(QStringLiteral("ssidCombo"));
        pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Down);
        QCOMPARE(ssid->currentText(), QStringLiteral("Café"));
        pressKey(Qt::Key_Up);
        pressKey(Qt::Key_Up);
        pressKey(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("home-key-1"));
        pressKey(Qt::Key_Return);
    }));

    // The whole session runs inside this key press: Enter on the chosen camera is "Continue".
    pressKey(Qt::Key_Return);
    QCOMPARE(modal.handled(), 3);
    QCOMPARE(wizard.currentPageIndex(), 4);
    QCOMPARE(wizard.communicationPage()->result(), ComResultSuccess);
    QCOMPARE(camera.password(), QStringLiteral("Nomo-5678"));
    QCOMPARE(camera.configuredSsid(), QStringLiteral("HomeNet"));
    QCOMPARE(camera.configuredKey(), QStringLiteral("home-key-1"));

    // Results page: after success only "Exit" is left, and Tab reaches it. The window manager
    // hands the wizard the keyboard back when the last dialog has closed; offscreen, nothing does.
    wizard.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&wizard));
    for (int i = 0; i < 4 && focusName() != QStringLiteral("Exit"); ++i)
        pressKey(Qt::Key_Tab);
    QCOMPARE(focusName(), QStringLiteral("Exit"));
    QVERIFY(wizard.resultsPage()->isAncestorOf(QApplication::focusWidget()));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
