#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabchangepassword.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabnomocommunication.h"
#include "pages/tabwificredentials.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QElapsedTimer>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <memory>

using Networks = QList<WIFINetworkEntry>;
using DialogMaker = std::function<QDialog *(QWidget *parent)>;
using WidgetMaker = std::function<QWidget *()>;
Q_DECLARE_METATYPE(DialogMaker)
Q_DECLARE_METATYPE(WidgetMaker)

namespace {

const QString kCamera = QStringLiteral("127.0.0.70");
const QString kBoxTitle = QStringLiteral("Dovrel Nomo - Wi-Fi Setup Tool");

// "text|security type" of every item.
QStringList itemsOf(QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i) + QLatin1Char('|') + combo->itemData(i).toString();
    return items;
}

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
    // The dialogs' own rules.
    void dialogLayout_data();
    void dialogLayout();
    void keyTypeAndHexBox_data();
    void keyTypeAndHexBox();
    void validation_data();
    void validation();
    void rescan_data();
    void rescan();
    // What the communication and results pages decide.
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
    void linksOpenInBrowser_data();
    void linksOpenInBrowser();
    void exitQuitsAtOnce();
};

void TestPages::initTestCase()
{
    AgentTiming::setScale(0.01);
    // A held-back reply stays outstanding until the test's cancel or close ends the wait.
    AgentTiming::setTransferTimeoutMs(60000);
    // The look the tool sets at start-up.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
    qApp->setStyleSheet("QDialog { background: white; } QPushButton  {background: #EA7E1D}");
}

void TestPages::dialogLayout_data()
{
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QStringList>("layout"); // see describe()

    const QString retry = QStringLiteral("Incorrect password.  Please try again.");
    const QString create = QStringLiteral("Create a password for Wi-Fi configuration settings.");
    const QStringList change = {
        "New Password :", "edit newPasswordEdit*", "Confirm New Password :",
        "edit confirmPasswordEdit*",
        "<html><body><b>IMPORTANT: Record password for any future Wi-Fi configuration "
        "changes.</b></body></html>",
        "(OK)", "(Skip)"};
    const QStringList wifi = {"<html><body>Please select the wireless network from the dropdown "
                              "list and enter the Network Key and Key Type. <br/>If you don't see "
                              "the network name in the list, you can type it in.<br/></body></html>",
                              "Wireless Network Name (SSID):", "combo ssidCombo",
                              "Wireless Network Key (Password):", "edit keyEdit",
                              "Wireless Network Key Type :", "combo keyTypeCombo", "[ ] Hex Key  ",
                              "(Cancel)", "(Try Again)", "(Ok)"};
    QStringList hidden = wifi;
    hidden[7].prepend(QStringLiteral("hidden "));
    const Networks wpa = {{"HomeNet", "WPA2-PSK AES"}, {"A rather long network name of 32 c", "WEP"}};
    QTest::newRow("password") << DialogMaker([=](QWidget *) { return new TabDeviceauthentication(retry, nullptr); })
                              << QStringList{retry, "edit passwordEdit*", "[ ] Change password",
                                             "(OK)", "(Cancel)"};
    QTest::newRow("change, new") << DialogMaker([](QWidget *) { return new TabChangePassword(nullptr, {}); })
                                 << QStringList{create} + change;
    QTest::newRow("change, with old")
        << DialogMaker([](QWidget *) { return new TabChangePassword(nullptr, "Nomo-1234"); })
        << QStringList{create, "Old Password :", "edit oldPasswordEdit*-"} + change;
    QTest::newRow("wifi, WPA first hides the Hex Key box")
        << DialogMaker([=](QWidget *) { return new TabWifiCredentials(nullptr, wpa, nullptr); }) << hidden;
    QTest::newRow("wifi, WEP first shows it unticked")
        << DialogMaker([=](QWidget *) { return new TabWifiCredentials(nullptr, {wpa[1], wpa[0]}, nullptr); })
        << wifi;
}

// Built as shown, and nothing clipped.
void TestPages::dialogLayout()
{
    QFETCH(DialogMaker, make);
    const std::unique_ptr<QDialog> dialog(make(nullptr));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Lumetra - Wi-Fi Setup Tool"));
    const Qt::WindowFlags flags = dialog->windowFlags();
    QVERIFY((flags & Qt::WindowType_Mask) == Qt::Dialog && (flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)));
    QTEST(describe(dialog.get()), "layout");
    for (QWidget *w : dialog->findChildren<QWidget *>()) {
        if (w->isVisible() && (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)))
            QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(),
                     qPrintable(w->objectName() + w->property("text").toString()));
    }
    if (auto *ok = qobject_cast<QPushButton *>(buttonWithText(dialog.get(), "Ok")))
        QVERIFY(ok->isDefault());
}

void TestPages::keyTypeAndHexBox_data()
{
    QTest::addColumn<Networks>("networks");
    QTest::addColumn<QString>("steps"); // "t<n>": choose key type n, "n<n>": network n, "u": untick
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<bool>("hexShown");
    QTest::addColumn<bool>("hexTicked");

    auto first = [](const char *security) {
        return Networks{{"Net", QString::fromLatin1(security)}, {"Other", "WEP"}};
    };
    auto row = [](const char *name, const Networks &n, const char *steps, const char *keyType,
                  bool shown, bool ticked) {
        QTest::newRow(name) << n << steps << keyType << shown << ticked;
    };
    // Presets from the first network, made during construction: the box is never ticked then.
    row("WPA2-PSK TKIP", first("WPA2-PSK TKIP"), "", "WPA2-TKIP", false, false);
    row("WPA-PSK AES", first("WPA-PSK AES"), "", "WPA-AES", false, false);
    row("WPA-PSK TKIP", first("WPA-PSK TKIP"), "", "WPA-TKIP", false, false);
    row("WPA/WPA2 mixed counts as WPA2", first("WPA/WPA2"), "", "WPA2-AES", false, false);
    row("WEP shows the unticked box", first("WEP"), "", "WEP", true, false);
    row("WEP beside WPA counts as WPA", first("WPA WEP"), "", "WPA-AES", false, false);
    row("No Authentication", first("No Authentication"), "", "No Authentication", false, false);
    row("empty type leaves the field empty", first(""), "", "", false, false);
    row("lower case is shown as is", first("wpa2-psk"), "", "wpa2-psk", false, false);
    row("empty list", {}, "", "", false, false);
    // Choices while the dialog shows.
    const Networks wpaFirst = {{"Home", "WPA2-PSK AES"}, {"Old", "WEP"}, {"Old2", "WEP"}};
    row("choosing WEP ticks the box", wpaFirst, "t4", "WEP", true, true);
    row("another type hides it", wpaFirst, "t4 t2", "WPA2-AES", false, true);
    row("WEP network while type was not WEP", wpaFirst, "n1", "WEP", true, true);
    row("WEP network while type already WEP keeps the tick", first("WEP"), "n1", "WEP", true,
        false);
    row("untick, WPA network, WEP network again", wpaFirst, "n1 u n0 n2", "WEP", true, true);
    row("untick, other WEP network keeps it unticked", wpaFirst, "n1 u n2", "WEP", true, false);
}

void TestPages::keyTypeAndHexBox()
{
    QFETCH(Networks, networks);
    QFETCH(QString, steps);

    TabWifiCredentials dialog(nullptr, networks, nullptr);
    auto *ssid = dialog.findChild<QComboBox *>("ssidCombo");
    auto *keyType = dialog.findChild<QComboBox *>("keyTypeCombo");
    auto *hex = dialog.findChild<QCheckBox *>("hexKeyCheck");
    QCOMPARE(ssid->currentText(), networks.isEmpty() ? QString() : networks.first().ssid);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1Char('u')))
            hex->setChecked(false);
        else
            (step.startsWith(QLatin1Char('t')) ? keyType : ssid)->setCurrentIndex(step.mid(1).toInt());
    }
    QTEST(keyType->currentText(), "keyType");
    if (networks.isEmpty()) // the first key type stays current, its text cleared
        QCOMPARE(keyType->currentIndex(), 0);
    QTEST(hex->isVisible(), "hexShown");
    QTEST(hex->isChecked(), "hexTicked");
}

void TestPages::validation_data()
{
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QStringList>("fields"); // entered in order, see fillIn()
    QTest::addColumn<QString>("outcome");    // the box "title|text|icon|parent", else the answers

    const DialogMaker change = [](QWidget *page) { return new TabChangePassword(page, "old"); };
    auto pw = [&](const char *name, const char *password, const char *confirmation,
                  const QString &outcome) {
        QTest::newRow(name) << change
                            << QStringList{"newPasswordEdit", password, "confirmPasswordEdit",
                                           confirmation}
                            << outcome;
    };
    const QString tooShort = QStringLiteral("Error !|Pasword must be at least 4 letters |critical|Ok|QWidget");
    const QString mismatch = QStringLiteral(
        "Error !|New Password and Confirmation Password do not match. |critical|Ok|QWidget");
    pw("3 characters although matching", "abc", "abc", tooShort);
    pw("both empty: the length message", "", "", tooShort);
    pw("short and differing: length first", "ab", "xyz", tooShort);
    pw("differs only in case", "abcd", "ABCD", mismatch);
    pw("leading blank is not trimmed", " abcd", "abcd", mismatch);
    pw("exactly four matching", "abcd", "abcd", "abcd");
    pw("blanks count towards the length", "    ", "    ", "    ");

    const DialogMaker wifi = [](QWidget *page) {
        return new TabWifiCredentials(page, {{"Listed", "WPA2-PSK AES"}}, nullptr);
    };
    auto net = [&](const char *name, const QString &ssid, const char *type, bool hex,
                   const QString &key, const QString &outcome) {
        QTest::newRow(name) << wifi
                            << QStringList{"ssidCombo", ssid, "keyTypeCombo", type, "hexKeyCheck",
                                           hex ? "tick" : "", "keyEdit", key}
                            << outcome;
    };
    const QString box = kBoxTitle + QStringLiteral("|%1|critical|Ok|TabWifiCredentials");
    const QString ascii = box.arg(
        "Wireless Network Key Length Incorrect ! \n Must be 5, 13 ascii characters long .");
    const QString hex = box.arg(
        "Wireless Network Key Length Incorrect ! \nMust be 10, 26 hexadecimal digits long .");
    auto emptyKey = [&](const char *type) {
        return box.arg(QStringLiteral("Wireless Network key cannot be empty for  %1  .").arg(type));
    };
    // The order: key type, empty key, WEP length, SSID. The key type box is a plain one.
    net("lower-case type, all else empty", "", "wpa2-aes", false, "",
        kBoxTitle + "|Please Select Your Wireless Network Key Type.|no icon|Ok|no parent");
    net("empty key, empty ssid", "", "WPA2-AES", false, "", emptyKey("WPA2-AES"));
    net("typed type with more text passes the type check", "Home", "WPA2-AES Personal", false, "",
        emptyKey("WPA2-AES Personal"));
    net("empty WEP key", "Home", "WEP", false, "", emptyKey("WEP"));
    net("ascii WEP of 4, empty ssid", "", "WEP", false, "abcd", ascii);
    net("ascii WEP of 10", "Home", "WEP", false, "abcdefghij", ascii);
    net("hex WEP of 12, empty ssid", "", "WEP", true, "0123456789ab", hex);
    net("hex WEP of 13", "Home", "WEP", true, "0123456789abc", hex);
    net("empty ssid with a good WEP key", "", "WEP", false, "abcde",
        box.arg("Can't use an empty SSID !!"));
    // Accepted: "SSID|key|key type" for the caller.
    net("ascii WEP of 13 in lower-case hex", "Home", "WEP", false, "ABCDEFGHIJKLM",
        "Home|4142434445464748494a4b4c4d|WEP");
    net("ascii WEP outside Latin-1 becomes ?", "Home", "WEP", false, "\u00e9\u20acabc",
        "Home|e93f616263|WEP");
    net("hex WEP of 10 kept, letters beyond f too", "Home", "WEP", true, "abcdefghij",
        "Home|abcdefghij|WEP");
    net("hex WEP of 26 kept", "Home", "WEP", true, "0123456789ABCDEF0123456789",
        "Home|0123456789ABCDEF0123456789|WEP");
    net("open network with empty key", "Cafe", "No Authentication", false, "",
        "Cafe||No Authentication");
    net("typed type holding a known name, one-letter key", "Home", "my WPA2-AES net", false, "k",
        "Home|k|my WPA2-AES net");
    net("line feeds removed before the WEP length check", "Home", "WEP", false, "ab\ncde",
        "Home|6162636465|WEP");
}

// A fault shows one message box and leaves the dialog open with its entries as they were (and the
// cursor in the new password); OK with acceptable entries hands the caller its answers.
void TestPages::validation()
{
    QFETCH(DialogMaker, make);
    QFETCH(QStringList, fields);
    QFETCH(QString, outcome);

    QWidget page; // the communication page that owns the dialog
    const std::unique_ptr<QDialog> dialog(make(&page));
    QStringList after;
    const QStringList boxes = runModal([&] { dialog->exec(); },
                                       [&](QWidget *) {
                                           fillIn(dialog.get(), fields);
                                           endDialog(dialog.get(), buttonWithText(dialog.get(), "Ok")
                                                                       ? "Ok"
                                                                       : "OK");
                                       },
                                       [&](QWidget *) {
                                           after = valuesOf(dialog.get(), fields);
                                           after << dialog->focusWidget()->objectName();
                                           dialog->reject();
                                       });
    if (dialog->result() == QDialog::Accepted) {
        QCOMPARE(boxes, QStringList());
        auto *c = qobject_cast<TabChangePassword *>(dialog.get());
        auto *w = qobject_cast<TabWifiCredentials *>(dialog.get());
        QCOMPARE(c ? c->newPassword() : w->ssid() + '|' + w->password() + '|' + w->securityType(),
                 outcome);
        return;
    }
    QCOMPARE(boxes, QStringList{outcome});
    QCOMPARE(after.mid(0, after.size() - 1), valuesOf(nullptr, fields));
    if (qobject_cast<TabChangePassword *>(dialog.get()))
        QCOMPARE(after.last(), QStringLiteral("newPasswordEdit"));
}

void TestPages::rescan_data()
{
    QTest::addColumn<bool>("scanAnswers");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("keyType");

    QTest::newRow("new list replaces the old one")
        << true << QStringList{"Attic|WPA-PSK TKIP", "Shed|WEP", "Attic|WPA-PSK TKIP", "|WPA2-AES"}
        << "WPA-TKIP";
    QTest::newRow("failed scan leaves an empty list") << false << QStringList{} << "";
}

void TestPages::rescan()
{
    QFETCH(bool, scanAnswers);
    CameraScenario scenario;
    scenario.requireSession = false; // the dialog's agent has not logged in
    scenario.networks = {{"Attic", "WPA-PSK TKIP", true},
                         {"Shed", "WEP", true},
                         {"Attic", "WPA-PSK TKIP", true},
                         {QString(), "WPA2-AES", false}};
    if (!scanAnswers)
        scenario.faults.append({CameraFault::EmptyBody, QStringLiteral("setupGetWIFIScan"), 1, -1});
    SimulatedCamera camera(scenario);
    QVERIFY2(camera.listen(QHostAddress(kCamera), 80), qPrintable(camera.errorString()));
    MyHttpsAgent agent(kCamera, nullptr);

    // The first network is WEP, so the Hex Key box shows before the rescan.
    TabWifiCredentials dialog(nullptr, {{"OldRouter", "WEP"}, {"HomeNet", "WPA2-PSK AES"},
                                        {"OldRouter", "WEP"}}, &agent);
    auto *ssid = dialog.findChild<QComboBox *>("ssidCombo");
    auto *hex = dialog.findChild<QCheckBox *>("hexKeyCheck");
    auto *rescanButton = dialog.findChild<QPushButton *>("rescanButton");
    dialog.findChild<QLineEdit *>("keyEdit")->setText(QStringLiteral("typed key"));
    QCOMPARE(itemsOf(ssid), (QStringList{"OldRouter|WEP", "HomeNet|WPA2-PSK AES", "OldRouter|WEP"}));
    QCOMPARE(itemsOf(dialog.findChild<QComboBox *>("keyTypeCombo")),
             (QStringList{"WPA-AES|", "WPA-TKIP|", "WPA2-AES|", "WPA2-TKIP|", "WEP|",
                          "No Authentication|"}));
    QList<bool> enabledDuringScan;
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command == QLatin1String("setupGetWIFIScan"))
            enabledDuringScan << rescanButton->isEnabled();
    });
    QStringList after; // hex box before, items, key type, hex box, button, key after the rescan
    runModal([&] { dialog.exec(); }, [&](QWidget *) {
        after << (hex->isVisible() ? "hex shown" : "hex hidden");
        rescanButton->click(); // returns when the scan is over
        after << itemsOf(ssid).join(',')
              << dialog.findChild<QComboBox *>("keyTypeCombo")->currentText()
              << (hex->isVisible() ? "hex shown" : "hex hidden")
              << (rescanButton->isEnabled() ? "enabled" : "disabled")
              << dialog.findChild<QLineEdit *>("keyEdit")->text();
        endDialog(&dialog, "Cancel");
    });
    QFETCH(QStringList, items);
    QFETCH(QString, keyType);
    QCOMPARE(after, (QStringList{"hex shown", items.join(','), keyType, "hex hidden", "enabled",
                                 "typed key"}));
    QCOMPARE(enabledDuringScan, QList<bool>{false}); // one scan, with the button disabled
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
        // A session that goes on regardless is ended by closing the window, late and so failing.
        QTimer::singleShot(8000, &host.window, [&] { host.window.close(); });
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

void TestPages::linksOpenInBrowser_data()
{
    QTest::addColumn<WidgetMaker>("make");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("url");

    const QString help = QStringLiteral("https://help.lumetra.example/password");
    const WidgetMaker results = [] {
        auto *page = new TabCommunicationResults(nullptr, 4);
        page->setTextAndImage(ComResultVersionNotCurrent, QPixmap());
        return page;
    };
    const WidgetMaker prompt = [help] {
        return new TabDeviceauthentication(QStringLiteral("<a href=\"%1\">%1</a>").arg(help), nullptr);
    };
    for (const char *how : {"mouse", "keyboard"}) {
        QTest::addRow("download address, %s", how) << results << how << NOMO_DOWNLOAD_URL;
        QTest::addRow("password prompt, %s", how) << prompt << how << help;
    }
}

// A link opens in the browser and leaves its page or dialog open.
void TestPages::linksOpenInBrowser()
{
    QFETCH(WidgetMaker, make);
    QFETCH(QString, how);
    LinkRecorder links;
    const std::unique_ptr<QWidget> widget(make());
    widget->show();
    QVERIFY(QTest::qWaitForWindowActive(widget.get()));
    auto *label = widget->findChild<QLabel *>(widget->inherits("QDialog") ? "messageLabel" : "textLabel");
    followLink(label, how, links);
    QTEST(links.urls.value(0).toString(), "url");
    QCOMPARE(links.urls.size(), 1);
    QVERIFY(widget->isVisible());
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
