#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabwificredentials.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using Networks = QList<WIFINetworkEntry>;

namespace {

const QHostAddress kCameraAddress(QStringLiteral("127.0.0.71"));
const Networks kNetworks = {{"HomeNet", "WPA2-PSK AES"},
                            {"OldRouter", "WEP"},
                            {"Guest", "No Authentication"},
                            {"HomeNet", "WPA2-PSK AES"}};

struct Parts
{
    explicit Parts(QDialog &d)
        : ssid(d.findChild<QComboBox *>("ssidCombo")), key(d.findChild<QLineEdit *>("keyEdit")),
          keyType(d.findChild<QComboBox *>("keyTypeCombo")),
          hex(d.findChild<QCheckBox *>("hexKeyCheck")),
          rescan(d.findChild<QPushButton *>("rescanButton")), ok(buttonWithText(&d, "Ok")),
          cancel(buttonWithText(&d, "Cancel"))
    {}
    QComboBox *ssid;
    QLineEdit *key;
    QComboBox *keyType;
    QCheckBox *hex;
    QPushButton *rescan;
    QAbstractButton *ok, *cancel;
};

// "text|security type" of every item.
QStringList itemsOf(QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i) + QLatin1Char('|') + combo->itemData(i).toString();
    return items;
}

} // namespace

class TestWifiCredentials : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { AgentTiming::setScale(0.01); }
    void cleanup() { verifyNoWindowOpen(); }

    // First, so that the network threads of its agents have long ended when the process exits.
    void rescan_data();
    void rescan();
    void listsAndDefaultButton();
    void keyTypeAndHexBox_data();
    void keyTypeAndHexBox();
    void validation_data();
    void validation();
};

void TestWifiCredentials::listsAndDefaultButton()
{
    TabWifiCredentials dialog(nullptr, kNetworks, nullptr);
    const Parts p(dialog);
    QVERIFY(qobject_cast<QPushButton *>(p.ok)->isDefault());
    // Networks in the camera's order, duplicates kept, the security type as item data; the key
    // types without item data.
    QVERIFY(p.ssid->isEditable() && p.keyType->isEditable());
    QCOMPARE(itemsOf(p.ssid), (QStringList{"HomeNet|WPA2-PSK AES", "OldRouter|WEP",
                                           "Guest|No Authentication", "HomeNet|WPA2-PSK AES"}));
    QCOMPARE(itemsOf(p.keyType), (QStringList{"WPA-AES|", "WPA-TKIP|", "WPA2-AES|", "WPA2-TKIP|",
                                              "WEP|", "No Authentication|"}));
}

void TestWifiCredentials::keyTypeAndHexBox_data()
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
                  bool shown,
                  bool ticked) { QTest::newRow(name) << n << steps << keyType << shown << ticked; };
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
    const Networks wepFirst = {{"Old", "WEP"}, {"Old2", "WEP"}};
    row("choosing WEP ticks the box", wpaFirst, "t4", "WEP", true, true);
    row("another type hides it", wpaFirst, "t4 t2", "WPA2-AES", false, true);
    row("WEP network while type was not WEP", wpaFirst, "n1", "WEP", true, true);
    row("WEP network while type already WEP keeps the tick", wepFirst, "n1", "WEP", true, false);
    row("untick, WPA network, WEP network again", wpaFirst, "n1 u n0 n2", "WEP", true, true);
    row("untick, other WEP network keeps it unticked", wpaFirst, "n1 u n2", "WEP", true, false);
}

void TestWifiCredentials::keyTypeAndHexBox()
{
    QFETCH(Networks, networks);
    QFETCH(QString, steps);

    TabWifiCredentials dialog(nullptr, networks, nullptr);
    const Parts p(dialog);
    QCOMPARE(p.ssid->currentText(), networks.isEmpty() ? QString() : networks.first().ssid);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step.startsWith(QLatin1Char('t')))
            p.keyType->setCurrentIndex(step.mid(1).toInt());
        else if (step.startsWith(QLatin1Char('n')))
            p.ssid->setCurrentIndex(step.mid(1).toInt());
        else
            p.hex->setChecked(false);
    }
    QTEST(p.keyType->currentText(), "keyType");
    QTEST(p.hex->isVisible(), "hexShown");
    QTEST(p.hex->isChecked(), "hexTicked");
    dialog.hide();
}

void TestWifiCredentials::validation_data()
{
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<QString>("keyType"); // one of the list's items is chosen, others are typed
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
        return QStringLiteral("Wireless Network key cannot be empty for  %1  .")
            .arg(QLatin1String(type));
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

void TestWifiCredentials::validation()
{
    QFETCH(QString, ssid);
    QFETCH(QString, keyType);
    QFETCH(QString, key);
    QFETCH(bool, hexTicked);
    QFETCH(QString, message);

    TabWifiCredentials dialog(nullptr, {{"Listed", "WPA2-PSK AES"}}, nullptr);
    const Parts p(dialog);
    int result = -1;
    QStringList entriesAfter;
    const QStringList boxes = runModal(
        [&] { result = dialog.exec(); },
        [&](QWidget *) {
            p.ssid->setEditText(QString());
            QTest::keyClicks(p.ssid->lineEdit(), ssid);
            if (const int index = p.keyType->findText(keyType); index >= 0) {
                p.keyType->setCurrentIndex(index);
            } else {
                p.keyType->setEditText(QString());
                QTest::keyClicks(p.keyType->lineEdit(), keyType);
            }
            if (p.hex->isVisible())
                p.hex->setChecked(hexTicked);
            p.key->setText(key); // setText, so that line feeds get into the field as a paste would
            clickLater(p.ok);
        },
        [&](QWidget *) {
            entriesAfter = {p.ssid->currentText(), p.keyType->currentText(), p.key->text()};
            clickLater(p.cancel);
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
    const bool plain = message.startsWith(QLatin1String("Please Select"));
    QCOMPARE(boxes,
             QStringList{"Dovrel Nomo - Wi-Fi Setup Tool|" + message +
                         (plain ? "|no icon|Ok|no parent" : "|critical|Ok|TabWifiCredentials")});
    // The dialog stayed open with every entry as it was.
    QCOMPARE(entriesAfter, (QStringList{ssid, keyType, key}));
}

void TestWifiCredentials::rescan_data()
{
    QTest::addColumn<bool>("scanAnswers");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("keyType");

    QTest::newRow("new list replaces the old one")
        << true << QStringList{"Attic|WPA-PSK TKIP", "Shed|WEP", "Attic|WPA-PSK TKIP", "|WPA2-AES"}
        << "WPA-TKIP";
    QTest::newRow("failed scan leaves an empty list") << false << QStringList{} << "";
}

void TestWifiCredentials::rescan()
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
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    MyHttpsAgent agent(kCameraAddress.toString(), nullptr);
    TabWifiCredentials dialog(nullptr, kNetworks, &agent);
    const Parts p(dialog);
    p.key->setText(QStringLiteral("typed key"));

    // The button must be disabled while the camera is scanning.
    QList<bool> enabledDuringScan;
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command == QLatin1String("setupGetWIFIScan"))
            enabledDuringScan << p.rescan->isEnabled();
    });

    QStringList itemsAfter;
    QString keyTypeAfter;
    bool hexAfter = true, enabledAfter = false;
    int result = -1;
    const QStringList boxes = runModal([&] { result = dialog.exec(); },
                                       [&](QWidget *) {
                                           p.rescan->click(); // returns when the scan is over
                                           itemsAfter = itemsOf(p.ssid);
                                           keyTypeAfter = p.keyType->currentText();
                                           hexAfter = p.hex->isVisible();
                                           enabledAfter = p.rescan->isEnabled();
                                           clickLater(p.cancel);
                                       });
    QCOMPARE(boxes, QStringList());
    QCOMPARE(result, int(QDialog::Rejected));
    QTEST(itemsAfter, "items");
    QTEST(keyTypeAfter, "keyType");
    QVERIFY(!hexAfter);
    QVERIFY(enabledAfter);
    QCOMPARE(enabledDuringScan, QList<bool>{false}); // one scan, made with the button disabled
    QCOMPARE(p.key->text(), QStringLiteral("typed key"));
}

QTEST_MAIN(TestWifiCredentials)
#include "tst_wificredentials.moc"
