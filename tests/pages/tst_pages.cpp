#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabnomocommunication.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

namespace {

const QString kCamera = QStringLiteral("127.0.0.70");

// A dialog window holding the page, as the wizard holds it.
struct HostWindow
{
    QDialog window;
    TabNomoCommunication *page = new TabNomoCommunication(&window, 3);
    HostWindow()
    {
        (new QVBoxLayout(&window))->addWidget(page);
        window.show();
    }
};

QString wrapped(const QString &message)
{
    return "<html ><font  Color=\"black\"><body>" + message + "</body></html>";
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void communicationPageIdle();
    void formSlotsWriteOnlyTheirAnswers_data();
    void formSlotsWriteOnlyTheirAnswers();
    void resultsFormStoresThenMovesOn();
    void connectUsesHostBeforeColon();
    void cancelEndsSession_data();
    void cancelEndsSession();
    void resultMessages_data();
    void resultMessages();
    void returnClearsAndAsksForScan();
    void downloadLink_data();
    void downloadLink();
    void exitQuitsAtOnce();
};

void TestPages::initTestCase()
{
    AgentTiming::setScale(0.01);
    // A held-back reply stays outstanding until the test's cancel or close ends the wait.
    AgentTiming::setTransferTimeoutMs(60000);
}

void TestPages::communicationPageIdle()
{
    TabNomoCommunication page(nullptr, 3);
    QCOMPARE(describe(&page), (QStringList{"[picture]", "~", "Confirming network settings.", "~",
                                           "bar 0..8", "~", "(Cancel)"}));
    auto *cancel = qobject_cast<QPushButton *>(buttonWithText(&page, "Cancel"));
    QVERIFY(cancel->isDefault());
    // Cancel before any session does nothing and stays enabled.
    QSignalSpy moves(&page, &TabNomoCommunication::MoveTabSignal);
    cancel->click();
    QVERIFY(cancel->isEnabled());
    QCOMPARE(moves.count(), 0);
}

void TestPages::formSlotsWriteOnlyTheirAnswers_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<QStringList>("fields");   // what the user enters, see fillIn()
    QTest::addColumn<QStringList>("expected"); // first, second, third after the slot
    QTest::addColumn<bool>("flag");            // bChangePassword after the slot
    QTest::addColumn<bool>("cancelled");

    const QString u = QStringLiteral("untouched");
    const QString pw = QStringLiteral("passwordEdit"), tick = QStringLiteral("changePasswordCheck");
    const QStringList change = {"newPasswordEdit", "abcd", "confirmPasswordEdit", "abcd"};
    // Choosing the WEP network ticks the hex box; these keys are typed as text.
    auto wifi = [](const char *ssid, const char *key) {
        return QStringList{"ssidCombo", ssid, "hexKeyCheck", "", "keyEdit", key};
    };
    auto row = [](const char *name, const char *form, const char *ending, const QStringList &fields,
                  const QStringList &expected, bool flag, bool cancelled) {
        QTest::newRow(name) << form << ending << fields << expected << flag << cancelled;
    };
    row("password ok with change ticked", "password", "OK", {pw, "pw 1", tick, "tick"},
        {"pw 1", u, u}, true, false);
    row("password ok with empty field", "password", "OK", {}, {"", u, u}, false, false);
    row("password cancel after ticking", "password", "Cancel", {pw, "pw", tick, "tick"}, {u, u, u},
        true, true);
    row("password close button", "password", "close", {pw, "pw"}, {u, u, u}, true, true);
    row("change ok", "change", "OK", change, {"abcd", u, u}, false, false);
    row("change skip", "change", "Skip", change, {u, u, u}, false, true);
    row("change close button", "change", "close", change, {u, u, u}, false, true);
    row("wifi ok", "wifi", "Ok", wifi("Home", "secret"), {"Home", "secret", "WPA2-AES"}, false,
        false);
    row("wifi ok hands on the hex form of an ascii WEP key", "wifi", "Ok", wifi("Old", "abcde"),
        {"Old", "6162636465", "WEP"}, false, false);
    row("wifi cancel", "wifi", "Cancel", wifi("Home", "secret"), {u, u, u}, false, true);
    row("wifi close button", "wifi", "close", wifi("Home", "secret"), {u, u, u}, false, true);
}

void TestPages::formSlotsWriteOnlyTheirAnswers()
{
    QFETCH(QString, form);
    QFETCH(QString, ending);
    QFETCH(QStringList, fields);
    QFETCH(bool, flag);
    QFETCH(bool, cancelled);

    TabNomoCommunication page(nullptr, 3);
    QWidget *dialogParent = nullptr;
    // Every answer starts as a sentinel, so any write that should not happen shows: bCancel as the
    // value the slot must not write, bChangePassword as the opposite of what OK must write.
    QString first = QStringLiteral("untouched"), second = first, third = first;
    bool changeFlag = cancelled ? flag : !flag;
    bool cancel = !cancelled;
    auto run = [&] {
        if (form == QLatin1String("password"))
            page.OnHttpsAgentDeviceAuthenticationForm("prompt", first, changeFlag, cancel);
        else if (form == QLatin1String("change"))
            page.OnHttpsAgentChangePasswordForm(QStringLiteral("old"), first, cancel);
        else
            page.OnHttpsAgentWifiCredentialsForm({{"Home", "WPA2-PSK AES"}, {"Old", "WEP"}}, first,
                                                 second, third, cancel);
    };
    QCOMPARE(runModal(run,
                      [&](QWidget *w) {
                          dialogParent = w->parentWidget();
                          fillIn(w, fields);
                          endDialog(w, ending);
                      }),
             QStringList());
    QCOMPARE(dialogParent, &page);
    QTEST((QStringList{first, second, third}), "expected");
    QCOMPARE(cancel, true); // on OK it kept its preset (true), on a cancel it was set
    if (form == QLatin1String("password"))
        QCOMPARE(changeFlag, flag);
}

void TestPages::resultsFormStoresThenMovesOn()
{
    TabNomoCommunication page(nullptr, 7); // the index it carries is its own, not 3
    QPixmap image(8, 8);
    image.fill(Qt::red);
    QList<int> seenAtMove; // the index, then what the page had stored by then
    connect(&page, &TabNomoCommunication::MoveTabSignal, this, [&](int index) {
        seenAtMove << index << int(page.result()) << int(page.backgroundImage().isNull());
    });
    page.OnHttpsAgentCommunicationResultsForm(ComResultNoInternet, image);
    QCOMPARE(seenAtMove, (QList<int>{7, int(ComResultNoInternet), 0}));
    QCOMPARE(page.backgroundImage().toImage(), image.toImage());
}

// The host is everything before the first ":"; each Connect starts afresh with an empty bar and
// an agent of its own, released after its session.
void TestPages::connectUsesHostBeforeColon()
{
    SimulatedCamera camera(CameraScenario::named(QStringLiteral("password")));
    QVERIFY2(camera.listen(QHostAddress(kCamera), 80), qPrintable(camera.errorString()));
    HostWindow host;
    auto *bar = host.page->findChild<QProgressBar *>();
    QList<int> barAtFirstRequest;
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.tryNumber == 1 && r.command == QLatin1String("setupVerify"))
            barAtFirstRequest << bar->value();
    });
    QList<QPointer<MyHttpsAgent>> agents; // as each session's dialog saw it
    ModalDialogHandler modal;
    const QStringList addresses = {kCamera + ":443", kCamera + ":80:90", kCamera, ":443"};
    QStringList hosts;
    for (const QString &address : addresses) {
        camera.setScenario(camera.scenario()); // counts tries afresh
        modal.expect([&](QWidget *w) {
            agents << host.page->agent();
            QVERIFY(agents.last());
            endDialog(w, "Cancel");
        });
        bar->setValue(5);
        host.page->Connect(address);
        hosts << host.page->host();
    }
    QCOMPARE(hosts, (QStringList{kCamera, kCamera, kCamera, ""}));
    QCOMPARE(barAtFirstRequest, (QList<int>{0, 0, 0}));
    QCOMPARE(agents.size(), 3);
    QTRY_VERIFY(agents[0].isNull() && agents[1].isNull() && agents[2].isNull());
}

void TestPages::cancelEndsSession_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("slowCommand"); // its reply is held back for a minute
    QTest::addColumn<int>("slowTry");
    QTest::addColumn<QStringList>("fields");  // entered in every form dialog, see fillIn()
    QTest::addColumn<QStringList>("answers"); // how the form dialogs end in turn, see endDialog()
    QTest::addColumn<QString>("trigger");     // what happens when the slow request arrives

    const QStringList none, change = {"newPasswordEdit", "abcd", "confirmPasswordEdit", "abcd"};
    QTest::newRow("Cancel button while the new password is set")
        << "no-password" << "setupSetPwd" << 1 << change << QStringList{"OK"} << "cancel";
    QTest::newRow("Cancel button while the network is set")
        << "no-password" << "setupSetSSID" << 1 << QStringList{"keyEdit", "k"}
        << QStringList{"Skip", "Ok"} << "cancel";
    QTest::newRow("Wi-Fi dialog's Cancel during a rescan")
        << "no-password" << "setupGetWIFIScan" << 2 << none << QStringList{"Skip", "Try Again"}
        << "Cancel";
    QTest::newRow("Wi-Fi dialog closed during a rescan")
        << "no-password" << "setupGetWIFIScan" << 2 << none << QStringList{"Skip", "Try Again"}
        << "close";
    QTest::newRow("window closed while a request waits")
        << "password" << "setupVerify" << 2 << none << QStringList{} << "window";
    QTest::newRow("window closed while a dialog is open")
        << "no-password" << "" << 0 << none << QStringList{"Skip", "window"} << "";
}

// Ends at once, as cancelled, with the move to the results page.
void TestPages::cancelEndsSession()
{
    QFETCH(QString, slowCommand);
    QFETCH(int, slowTry);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, answers);
    QFETCH(QString, trigger);

    QFETCH(QString, scenario);
    CameraScenario s = CameraScenario::named(scenario);
    s.faults.append({CameraFault::SlowReply, slowCommand, slowTry, 1});
    s.slowMs = 60000;
    SimulatedCamera camera(s);
    QVERIFY2(camera.listen(QHostAddress(kCamera), 80), qPrintable(camera.errorString()));
    HostWindow host;
    QSignalSpy moves(host.page, &TabNomoCommunication::MoveTabSignal);
    QElapsedTimer sinceTrigger;
    QPointer<QWidget> dialog;
    auto act = [&](const QString &how) {
        sinceTrigger.start();
        if (how == QLatin1String("cancel"))
            clickLater(buttonWithText(host.page, "Cancel"));
        else if (how == QLatin1String("window"))
            QMetaObject::invokeMethod(&host.window, &QWidget::close, Qt::QueuedConnection);
        else
            endDialog(dialog, how);
    };
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command == slowCommand && r.tryNumber == slowTry)
            act(trigger);
    });
    ModalDialogHandler modal;
    for (const QString &answer : answers) {
        modal.expect([&, answer](QWidget *w) {
            dialog = w;
            fillIn(w, fields);
            answer == QLatin1String("window") ? act(answer) : endDialog(w, answer);
        });
    }
    host.page->Connect(kCamera);
    QVERIFY(sinceTrigger.isValid());
    QVERIFY2(sinceTrigger.elapsed() < 5000, qPrintable(QString::number(sinceTrigger.elapsed())));
    QCOMPARE(moves.count(), 1);
    QCOMPARE(host.page->result(), ComResultCancelled);
    QVERIFY(!dialog || !dialog->isVisible());
}

void TestPages::resultMessages_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");

    const QString failed = wrapped(
        "The Lumetra Wi-Fi setup could not be completed.  Click the <b>''Return to Wi-Fi "
        "Setup''</b> button to try again. <br/><br/> For troubleshooting information, refer to "
        "the Lumetra Installation Guide.");
    const QString url = QStringLiteral(NOMO_DOWNLOAD_URL);
    QTest::newRow("0 version not current")
        << 0 << wrapped("This version of the Lumetra - WiFi Setup Tool is not current. <br/> Click "
                        "<b>''Exit''</b> and go to <a href=\"" + url + "\" target=\"_blank\"><b>" +
                        url + "</b></a> to download the latest version. <br/><br/> ");
    QTest::newRow("1 failed") << 1 << failed;
    QTest::newRow("2 success")
        << 2 << wrapped("The Lumetra device is now connected to the wireless network. <br/>Click "
                        "<b>''Exit''</b> to finish. To install Lumetra, refer to Lumetra "
                        "Installation Guide.<br/>.");
    QTest::newRow("3 error reported") << 3 << failed;
    QTest::newRow("4 cancelled")
        << 4 << wrapped("Are you sure you want to exit the Lumetra Wi-Fi Setup?  <br/> To set up "
                        "or update the WiFi settings, click the <b>''Return to Wi-Fi Setup''</b> "
                        "button. <br/><br/> For troubleshooting information, refer to the Lumetra "
                        "Installation Guide. ");
    QTest::newRow("5 no internet")
        << 5 << wrapped("The Lumetra device cannot connect to the Internet. <br/> Please check the "
                        "router and firewall to verify ports 123, 80, and 443 are open and then "
                        "click the <br/><b>''Return to Wi-Fi Setup''</b> button to try again. "
                        "<br/><br/>For troubleshooting information, refer to the Lumetra "
                        "Installation Guide.");
    QTest::newRow("6 no reply")
        << 6 << wrapped("The Lumetra Wi-Fi setup cannot be completed at this time.<br/></br>For "
                        "troubleshooting information, refer to the Lumetra Installation Guide.");
    QTest::newRow("7 unused value") << 7 << QString();
    QTest::newRow("8 error 503") << 8 << QString();
    QTest::newRow("9 wifi unavailable")
        << 9 << wrapped("Wi-Fi unavailable.  Please check hardware and network settings. "
                        "<br/><br/> For troubleshooting information, refer to the Lumetra "
                        "Installation Guide.");
    QTest::newRow("10 out of range") << 10 << QString();
    QTest::newRow("-1 out of range") << -1 << QString();
}

void TestPages::resultMessages()
{
    QFETCH(int, outcome);
    const bool success = outcome == ComResultSuccess;
    TabCommunicationResults page(nullptr, 4);
    QCOMPARE(describe(&page), (QStringList{"[picture]", "hidden [picture]", "", "(Exit)",
                                           "(Return to Wi-Fi Setup)"}));
    QVERIFY(!page.findChild<QLabel *>("textLabel")->wordWrap());
    QPixmap image(40, 30);
    image.fill(Qt::darkCyan);
    page.setTextAndImage(enmComResult(outcome), image);
    QTEST(page.findChild<QLabel *>("textLabel")->text(), "text");
    // The picture label holds the delivered image (the artwork is gone) and shows it only after a
    // success; after one, "Return to Wi-Fi Setup" never comes back.
    QCOMPARE(page.findChild<QLabel *>("backgroundLabel")->pixmap().toImage(), image.toImage());
    QCOMPARE(describe(&page).mid(1, 1), QStringList{success ? "[picture]" : "hidden [picture]"});
    page.setTextAndImage(ComResultFailed, QPixmap());
    QCOMPARE(describe(&page).last(), QString(success ? "hidden " : "") + "(Return to Wi-Fi Setup)");
    QVERIFY(buttonWithText(&page, "Exit")->isVisibleTo(&page));
}

void TestPages::returnClearsAndAsksForScan()
{
    TabCommunicationResults page(nullptr, 4);
    QSignalSpy moves(&page, &TabCommunicationResults::MoveTabSignal);
    QPixmap image(8, 8);
    image.fill(Qt::red);
    page.setTextAndImage(ComResultSuccess, image); // the only outcome that shows the picture
    buttonWithText(&page, "Return to Wi-Fi Setup")->click();
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.at(0).at(0).toInt(), 0);
    QCOMPARE(describe(&page), (QStringList{"[picture]", "hidden [picture]", "", "(Exit)",
                                           "hidden (Return to Wi-Fi Setup)"}));
}

void TestPages::downloadLink_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("clicked") << "mouse";
    QTest::newRow("by Tab and Enter") << "keyboard";
}

void TestPages::downloadLink()
{
    QFETCH(QString, how);
    LinkRecorder links;
    TabCommunicationResults page(nullptr, 4);
    page.setTextAndImage(ComResultVersionNotCurrent, QPixmap());
    page.show();
    QVERIFY(QTest::qWaitForWindowActive(&page));
    buttonWithText(&page, "Exit")->setFocus();
    followLink(page.findChild<QLabel *>("textLabel"), how, links);
    QCOMPARE(links.urls, QList<QUrl>{QUrl(QStringLiteral(NOMO_DOWNLOAD_URL))});
    QVERIFY(page.isVisible());
}

void TestPages::exitQuitsAtOnce()
{
    TabCommunicationResults page(nullptr, 4);
    page.show();
    QTimer::singleShot(0, buttonWithText(&page, "Exit"), &QAbstractButton::click);
    // A question (a modal box) would hold the loop until this fallback ends it with 42.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(42); });
    QCOMPARE(QCoreApplication::exec(), 0);
}

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
