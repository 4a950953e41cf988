#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabchangepassword.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabwificredentials.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QPushButton>

#include <memory>

using Networks = QList<WIFINetworkEntry>;
using DialogMaker = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogMaker)

namespace {

const QString kBoxTitle = QStringLiteral("Dovrel Nomo - Wi-Fi Setup Tool");

// "text|security type" of every item.
QStringList itemsOf(QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i) + QLatin1Char('|') + combo->itemData(i).toString();
    return items;
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void layout_data();
    void layout();
    void promptLink_data();
    void promptLink();
    void changePassword_data();
    void changePassword();
    void keyTypeAndHexBox_data();
    void keyTypeAndHexBox();
    void wifiValidation_data();
    void wifiValidation();
    void rescan_data();
    void rescan();
};

void TestDialogs::initTestCase()
{
    AgentTiming::setScale(0.01);
    // The look the tool sets at start-up, for every dialog here.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
    qApp->setStyleSheet("QDialog { background: white; } QPushButton  {background: #EA7E1D}");
}

void TestDialogs::layout_data()
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
    QTest::newRow("password") << DialogMaker([=] { return new TabDeviceauthentication(retry, nullptr); })
                              << QStringList{retry, "edit passwordEdit*", "[ ] Change password",
                                             "(OK)", "(Cancel)"};
    QTest::newRow("change, new") << DialogMaker([] { return new TabChangePassword(nullptr, {}); })
                                 << QStringList{create} + change;
    QTest::newRow("change, with old")
        << DialogMaker([] { return new TabChangePassword(nullptr, "Nomo-1234"); })
        << QStringList{create, "Old Password :", "edit oldPasswordEdit*-"} + change;
    QTest::newRow("wifi, WPA first hides the Hex Key box")
        << DialogMaker([=] { return new TabWifiCredentials(nullptr, wpa, nullptr); }) << hidden;
    QTest::newRow("wifi, WEP first shows it unticked")
        << DialogMaker([=] { return new TabWifiCredentials(nullptr, {wpa[1], wpa[0]}, nullptr); })
        << wifi;
}

// Built as shown, and nothing clipped.
void TestDialogs::layout()
{
    QFETCH(DialogMaker, make);
    const std::unique_ptr<QDialog> dialog(make());
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

void TestDialogs::promptLink_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("clicked") << "mouse";
    QTest::newRow("by Tab and Enter") << "keyboard";
}

// A link in the prompt opens in the browser and leaves the dialog open.
void TestDialogs::promptLink()
{
    QFETCH(QString, how);
    const QString url = QStringLiteral("https://help.lumetra.example/password");
    LinkRecorder links;
    TabDeviceauthentication dialog(QStringLiteral("<a href=\"%1\">%1</a>").arg(url), nullptr);
    bool openAfter = false;
    const QStringList boxes = runModal([&] { dialog.exec(); }, [&](QWidget *w) {
        followLink(w->findChild<QLabel *>("messageLabel"), how, links);
        QTimer::singleShot(0, &dialog, [&] {
            openAfter = dialog.isVisible();
            dialog.reject();
        });
    });
    QCOMPARE(boxes, QStringList());
    QCOMPARE(links.urls, QList<QUrl>{QUrl(url)});
    QVERIFY(openAfter);
}

void TestDialogs::changePassword_data()
{
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirmation");
    QTest::addColumn<QString>("message"); // empty: accepted

    const QString tooShort = QStringLiteral("Pasword must be at least 4 letters ");
    const QString mismatch = QStringLiteral("New Password and Confirmation Password do not match. ");
    QTest::newRow("three characters although matching") << "abc" << "abc" << tooShort;
    QTest::newRow("both empty: the length message") << "" << "" << tooShort;
    QTest::newRow("short and differing: length first") << "ab" << "xyz" << tooShort;
    QTest::newRow("differs only in case") << "abcd" << "ABCD" << mismatch;
    QTest::newRow("leading blank is not trimmed") << " abcd" << "abcd" << mismatch;
    QTest::newRow("exactly four matching") << "abcd" << "abcd" << "";
    QTest::newRow("blanks count towards the length") << "    " << "    " << "";
}

void TestDialogs::changePassword()
{
    QFETCH(QString, newPassword);
    QFETCH(QString, confirmation);
    QFETCH(QString, message);

    QWidget page; // the communication page that owns the dialog
    TabChangePassword dialog(&page, QStringLiteral("current"));
    QCOMPARE(dialog.findChild<QLineEdit *>("oldPasswordEdit")->text(), QStringLiteral("current"));
    auto *newEdit = dialog.findChild<QLineEdit *>("newPasswordEdit");
    auto *confirmEdit = dialog.findChild<QLineEdit *>("confirmPasswordEdit");
    int result = -1;
    QStringList after; // the fields, and whether the new password has the focus
    const QStringList boxes = runModal([&] { result = dialog.exec(); },
                                       [&](QWidget *) {
                                           QTest::keyClicks(newEdit, newPassword);
                                           QTest::keyClicks(confirmEdit, confirmation);
                                           confirmEdit->setFocus();
                                           endDialog(&dialog, "OK");
                                       },
                                       [&](QWidget *) {
                                           after = {newEdit->text(), confirmEdit->text(),
                                                    dialog.focusWidget() == newEdit ? "focus" : ""};
                                           endDialog(&dialog, "Skip");
                                       });
    if (message.isEmpty()) {
        QCOMPARE(boxes, QStringList());
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.newPassword(), newPassword);
        return;
    }
    QCOMPARE(result, int(QDialog::Rejected)); // by "Skip"
    QCOMPARE(boxes, QStringList{"Error !|" + message + "|critical|Ok|QWidget"});
    QCOMPARE(after, (QStringList{newPassword, confirmation, "focus"}));
}

void TestDialogs::keyTypeAndHexBox_data()
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

void TestDialogs::keyTypeAndHexBox()
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
    QTEST(hex->isVisible(), "hexShown");
    QTEST(hex->isChecked(), "hexTicked");
}

void TestDialogs::wifiValidation_data()
{
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<QString>("keyType"); // an item of the list is chosen, other texts typed
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("hexTicked");   // only where the box shows
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<QString>("password"); // what the caller receives when accepted

    auto row = [](const char *name, const QString &ssid, const char *type, const QString &key,
                  bool hex, const QString &message, const char *password = "") {
        QTest::newRow(name) << ssid << type << key << hex << message << password;
    };
    const QString selectType = QStringLiteral("Please Select Your Wireless Network Key Type.");
    const QString ascii = QStringLiteral(
        "Wireless Network Key Length Incorrect ! \n Must be 5, 13 ascii characters long .");
    const QString hex = QStringLiteral(
        "Wireless Network Key Length Incorrect ! \nMust be 10, 26 hexadecimal digits long .");
    const QString emptySsid = QStringLiteral("Can't use an empty SSID !!");
    auto emptyKey = [](const char *type) {
        return QStringLiteral("Wireless Network key cannot be empty for  %1  .").arg(type);
    };
    // The order: key type, empty key, WEP length, SSID.
    row("lower-case type, all else empty", "", "wpa2-aes", "", false, selectType);
    row("empty key, empty ssid", "", "WPA2-AES", "", false, emptyKey("WPA2-AES"));
    row("typed type with more text passes the type check", "Home", "WPA2-AES Personal", "", false,
        emptyKey("WPA2-AES Personal"));
    row("empty WEP key", "Home", "WEP", "", false, emptyKey("WEP"));
    row("ascii WEP of 4, empty ssid", "", "WEP", "abcd", false, ascii);
    row("ascii WEP of 10", "Home", "WEP", "abcdefghij", false, ascii);
    row("hex WEP of 12, empty ssid", "", "WEP", "0123456789ab", true, hex);
    row("hex WEP of 13", "Home", "WEP", "0123456789abc", true, hex);
    row("empty ssid with a good WEP key", "", "WEP", "abcde", false, emptySsid);
    // Accepted.
    row("ascii WEP of 13 in lower-case hex", "Home", "WEP", "ABCDEFGHIJKLM", false, "",
        "4142434445464748494a4b4c4d");
    row("ascii WEP outside Latin-1 becomes ?", "Home", "WEP", QStringLiteral("\u00e9\u20acabc"),
        false, "", "e93f616263");
    row("hex WEP of 10 kept, letters beyond f too", "Home", "WEP", "abcdefghij", true, "",
        "abcdefghij");
    row("hex WEP of 26 kept", "Home", "WEP", "0123456789ABCDEF0123456789", true, "",
        "0123456789ABCDEF0123456789");
    row("open network with empty key", "Cafe", "No Authentication", "", false, "");
    row("typed type holding a known name, one-letter key", "Home", "my WPA2-AES net", "k", false,
        "", "k");
    row("line feeds removed before the WEP length check", "Home", "WEP", "ab\ncde", false, "",
        "6162636465");
}

void TestDialogs::wifiValidation()
{
    QFETCH(QString, ssid);
    QFETCH(QString, keyType);
    QFETCH(QString, key);
    QFETCH(bool, hexTicked);
    QFETCH(QString, message);

    TabWifiCredentials dialog(nullptr, {{"Listed", "WPA2-PSK AES"}}, nullptr);
    auto *ssidCombo = dialog.findChild<QComboBox *>("ssidCombo");
    auto *typeCombo = dialog.findChild<QComboBox *>("keyTypeCombo");
    auto *keyEdit = dialog.findChild<QLineEdit *>("keyEdit");
    int result = -1;
    QStringList after;
    const QStringList boxes = runModal(
        [&] { result = dialog.exec(); },
        [&](QWidget *) {
            ssidCombo->setEditText(QString());
            QTest::keyClicks(ssidCombo->lineEdit(), ssid);
            typeCombo->setCurrentIndex(typeCombo->findText(keyType));
            if (typeCombo->currentIndex() < 0)
                QTest::keyClicks(typeCombo->lineEdit(), keyType);
            if (auto *hex = dialog.findChild<QCheckBox *>(); hex->isVisible())
                hex->setChecked(hexTicked);
            keyEdit->setText(key); // line feeds get in as a paste would bring them
            endDialog(&dialog, "Ok");
        },
        [&](QWidget *) {
            after = {ssidCombo->currentText(), typeCombo->currentText(), keyEdit->text()};
            endDialog(&dialog, "Cancel");
        });
    if (message.isEmpty()) {
        QCOMPARE(boxes, QStringList());
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.ssid(), ssid);
        QCOMPARE(dialog.securityType(), keyType);
        QTEST(dialog.password(), "password");
        return;
    }
    QCOMPARE(result, int(QDialog::Rejected));
    // The key type box is the plain one: no icon and no parent window.
    const bool plain = message == QLatin1String("Please Select Your Wireless Network Key Type.");
    QCOMPARE(boxes, QStringList{kBoxTitle + "|" + message +
                                (plain ? "|no icon|Ok|no parent" : "|critical|Ok|TabWifiCredentials")});
    QCOMPARE(after, (QStringList{ssid, keyType, key})); // the dialog stayed open as it was
}

void TestDialogs::rescan_data()
{
    QTest::addColumn<bool>("scanAnswers");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("keyType");

    QTest::newRow("new list replaces the old one")
        << true << QStringList{"Attic|WPA-PSK TKIP", "Shed|WEP", "Attic|WPA-PSK TKIP", "|WPA2-AES"}
        << "WPA-TKIP";
    QTest::newRow("failed scan leaves an empty list") << false << QStringList{} << "";
}

void TestDialogs::rescan()
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
    QVERIFY2(camera.listen(QHostAddress("127.0.0.71"), 80), qPrintable(camera.errorString()));
    MyHttpsAgent agent(QStringLiteral("127.0.0.71"), nullptr);

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

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
