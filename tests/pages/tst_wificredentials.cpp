#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabwificredentials.h"
#include "tools/camerasim/simulatedcamera.h"

#include "pagetesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using Networks = QList<WIFINetworkEntry>;

namespace {

const QString kBoxTitle = QStringLiteral("Dovrel Nomo - Wi-Fi Setup Tool");
const QHostAddress kCameraAddress(QStringLiteral("127.0.0.71"));
const QStringList kKeyTypes = {QStringLiteral("WPA-AES"),  QStringLiteral("WPA-TKIP"),
                               QStringLiteral("WPA2-AES"), QStringLiteral("WPA2-TKIP"),
                               QStringLiteral("WEP"),      QStringLiteral("No Authentication")};

struct Parts
{
    QComboBox *ssid = nullptr;
    QLineEdit *key = nullptr;
    QComboBox *keyType = nullptr;
    QCheckBox *hex = nullptr;
    QPushButton *rescan = nullptr;
    QAbstractButton *ok = nullptr;
    QAbstractButton *cancel = nullptr;
};

Parts partsOf(QDialog &dialog)
{
    Parts p;
    p.ssid = dialog.findChild<QComboBox *>(QStringLiteral("ssidCombo"));
    p.key = dialog.findChild<QLineEdit *>(QStringLiteral("keyEdit"));
    p.keyType = dialog.findChild<QComboBox *>(QStringLiteral("keyTypeCombo"));
    p.hex = dialog.findChild<QCheckBox *>(QStringLiteral("hexKeyCheck"));
    p.rescan = dialog.findChild<QPushButton *>(QStringLiteral("rescanButton"));
    p.ok = buttonWithText(&dialog, QStringLiteral("Ok"));
    p.cancel = buttonWithText(&dialog, QStringLiteral("Cancel"));
    return p;
}

QStringList itemsOf(QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i) + QLatin1Char('|') + combo->itemData(i).toString();
    return items;
}

Networks sampleNetworks()
{
    return {{QStringLiteral("HomeNet"), QStringLiteral("WPA2-PSK AES")},
            {QStringLiteral("OldRouter"), QStringLiteral("WEP")},
            {QStringLiteral("Guest"), QStringLiteral("No Authentication")},
            {QStringLiteral("HomeNet"), QStringLiteral("WPA2-PSK AES")}};
}

} // namespace

class TestWifiCredentials : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void buildsAsSpecified();
    void keyTypePresetFromFirstNetwork_data();
    void keyTypePresetFromFirstNetwork();
    void choicesWhileShowing_data();
    void choicesWhileShowing();
    void enteredSsidClearsKeyType();
    void validation_data();
    void validation();
    void rescan_data();
    void rescan();
};

void TestWifiCredentials::initTestCase()
{
    AgentTiming::setScale(0.01);
}

void TestWifiCredentials::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestWifiCredentials::buildsAsSpecified()
{
    TabWifiCredentials dialog(nullptr, sampleNetworks(), nullptr);
    const Parts p = partsOf(dialog);
    QVERIFY(p.ssid && p.key && p.keyType && p.hex && p.rescan && p.ok && p.cancel);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Lumetra - Wi-Fi Setup Tool"));
    QCOMPARE(dialog.windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                      Qt::WindowContextHelpButtonHint)));

    auto *form = qobject_cast<QFormLayout *>(dialog.layout());
    QVERIFY(form);
    QCOMPARE(form->rowCount(), 6);
    auto labelAt = [form](int row, QFormLayout::ItemRole role) {
        QLayoutItem *item = form->itemAt(row, role);
        auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr;
        return label ? label->text() : QString();
    };
    QCOMPARE(
        labelAt(0, QFormLayout::SpanningRole),
        QStringLiteral("<html><body>Please select the wireless network from the dropdown "
                       "list and enter the Network Key and Key Type. <br/>If you don't see "
                       "the network name in the list, you can type it in.<br/></body></html>"));
    QCOMPARE(labelAt(1, QFormLayout::LabelRole), QStringLiteral("Wireless Network Name (SSID):"));
    QCOMPARE(form->itemAt(1, QFormLayout::FieldRole)->widget(), p.ssid);
    QCOMPARE(labelAt(2, QFormLayout::LabelRole),
             QStringLiteral("Wireless Network Key (Password):"));
    QCOMPARE(form->itemAt(2, QFormLayout::FieldRole)->widget(), p.key);
    QCOMPARE(labelAt(3, QFormLayout::LabelRole), QStringLiteral("Wireless Network Key Type :"));
    QCOMPARE(form->itemAt(3, QFormLayout::FieldRole)->widget(), p.keyType);
    QCOMPARE(form->itemAt(4, QFormLayout::SpanningRole)->widget(), p.hex);
    auto *box =
        qobject_cast<QDialogButtonBox *>(form->itemAt(5, QFormLayout::SpanningRole)->widget());
    QVERIFY(box);

    // Networks in the camera's order, duplicates kept, the security type as item data.
    QVERIFY(p.ssid->isEditable());
    QCOMPARE(itemsOf(p.ssid), (QStringList{"HomeNet|WPA2-PSK AES", "OldRouter|WEP",
                                           "Guest|No Authentication", "HomeNet|WPA2-PSK AES"}));
    QCOMPARE(p.ssid->currentText(), QStringLiteral("HomeNet"));
    QCOMPARE(p.ssid->sizeAdjustPolicy(), QComboBox::AdjustToContents);
    QVERIFY(p.key->text().isEmpty());
    QCOMPARE(p.key->echoMode(), QLineEdit::Normal);
    QVERIFY(p.keyType->isEditable());
    QStringList types;
    for (int i = 0; i < p.keyType->count(); ++i) {
        types << p.keyType->itemText(i);
        QVERIFY(!p.keyType->itemData(i).isValid());
    }
    QCOMPARE(types, kKeyTypes);
    QCOMPARE(p.hex->text(), QStringLiteral("Hex Key  "));
    QVERIFY(!p.hex->isChecked());

    QCOMPARE(box->minimumWidth(), 321);
    QCOMPARE(box->orientation(), Qt::Horizontal);
    const QList<QAbstractButton *> buttons = box->buttons();
    QCOMPARE(buttons.size(), 3);
    QStringList texts;
    for (QAbstractButton *b : buttons) {
        texts << b->text();
        QCOMPARE(box->buttonRole(b), QDialogButtonBox::ActionRole);
        QCOMPARE(b->minimumWidth(), 100);
    }
    // The box orders action buttons as they were added.
    QCOMPARE(texts, (QStringList{"Cancel", "Try Again", "Ok"}));
    QVERIFY(qobject_cast<QPushButton *>(p.ok)->isDefault());
}

void TestWifiCredentials::keyTypePresetFromFirstNetwork_data()
{
    QTest::addColumn<Networks>("networks");
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("hexShown");

    auto first = [](const char *security) {
        return Networks{{QStringLiteral("Net"), QString::fromLatin1(security)},
                        {QStringLiteral("Other"), QStringLiteral("WEP")}};
    };
    QTest::newRow("WPA2-PSK TKIP") << first("WPA2-PSK TKIP") << "WPA2-TKIP" << 3 << false;
    QTest::newRow("WPA2-PSK AES") << first("WPA2-PSK AES") << "WPA2-AES" << 2 << false;
    QTest::newRow("WPA-PSK AES") << first("WPA-PSK AES") << "WPA-AES" << 0 << false;
    QTest::newRow("WPA-PSK TKIP") << first("WPA-PSK TKIP") << "WPA-TKIP" << 1 << false;
    QTest::newRow("WPA/WPA2 mixed counts as WPA2") << first("WPA/WPA2") << "WPA2-AES" << 2 << false;
    QTest::newRow("WEP shows the unticked box") << first("WEP") << "WEP" << 4 << true;
    QTest::newRow("WEP beside WPA counts as WPA") << first("WPA WEP") << "WPA-AES" << 0 << false;
    QTest::newRow("No Authentication")
        << first("No Authentication") << "No Authentication" << 5 << false;
    QTest::newRow("empty type leaves the field empty") << first("") << "" << 0 << false;
    QTest::newRow("unknown type is shown as is") << first("OPEN") << "OPEN" << 0 << false;
    QTest::newRow("lower case is not recognised") << first("wpa2-psk") << "wpa2-psk" << 0 << false;
    QTest::newRow("empty list") << Networks{} << "" << 0 << false;
}

void TestWifiCredentials::keyTypePresetFromFirstNetwork()
{
    QFETCH(Networks, networks);
    QFETCH(QString, keyType);
    QFETCH(int, index);
    QFETCH(bool, hexShown);

    TabWifiCredentials dialog(nullptr, networks, nullptr);
    const Parts p = partsOf(dialog);
    QCOMPARE(p.ssid->currentText(), networks.isEmpty() ? QString() : networks.first().ssid);
    QCOMPARE(p.keyType->currentText(), keyType);
    QCOMPARE(p.keyType->currentIndex(), index);
    QCOMPARE(p.hex->isVisibleTo(&dialog), hexShown);
    // A preset made while the dialog is being built never ticks the box.
    QVERIFY(!p.hex->isChecked());

    // Still so once it shows.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(p.hex->isVisible(), hexShown);
    QVERIFY(!p.hex->isChecked());
    dialog.hide();
}

void TestWifiCredentials::choicesWhileShowing_data()
{
    QTest::addColumn<Networks>("networks");
    QTest::addColumn<QString>("steps"); // "t<n>": choose key type n, "n<n>": choose network n,
                                        // "u": untick the box
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<bool>("hexShown");
    QTest::addColumn<bool>("hexTicked");

    const Networks wpaFirst = {{QStringLiteral("Home"), QStringLiteral("WPA2-PSK AES")},
                               {QStringLiteral("Old"), QStringLiteral("WEP")},
                               {QStringLiteral("Old2"), QStringLiteral("WEP")}};
    const Networks wepFirst = {{QStringLiteral("Old"), QStringLiteral("WEP")},
                               {QStringLiteral("Old2"), QStringLiteral("WEP")}};
    QTest::newRow("choosing WEP ticks the box") << wpaFirst << "t4"
                                                << "WEP" << true << true;
    QTest::newRow("another type hides it") << wpaFirst << "t4 t2"
                                           << "WPA2-AES" << false << true;
    QTest::newRow("WEP network while type was not WEP") << wpaFirst << "n1"
                                                        << "WEP" << true << true;
    QTest::newRow("WEP network while type already WEP keeps the tick") << wepFirst << "n1"
                                                                       << "WEP" << true << false;
    QTest::newRow("untick, WPA network, WEP network again") << wpaFirst << "n1 u n0 n2"
                                                            << "WEP" << true << true;
    QTest::newRow("untick, other WEP network keeps it unticked") << wpaFirst << "n1 u n2"
                                                                 << "WEP" << true << false;
}

void TestWifiCredentials::choicesWhileShowing()
{
    QFETCH(Networks, networks);
    QFETCH(QString, steps);
    QFETCH(QString, keyType);
    QFETCH(bool, hexShown);
    QFETCH(bool, hexTicked);

    TabWifiCredentials dialog(nullptr, networks, nullptr);
    const Parts p = partsOf(dialog);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString &step : steps.split(QLatin1Char(' '))) {
        const int n = step.mid(1).toInt();
        if (step.startsWith(QLatin1Char('t')))
            p.keyType->setCurrentIndex(n);
        else if (step.startsWith(QLatin1Char('n')))
            p.ssid->setCurrentIndex(n);
        else
            p.hex->setChecked(false);
    }
    QCOMPARE(p.keyType->currentText(), keyType);
    QCOMPARE(p.hex->isVisible(), hexShown);
    QCOMPARE(p.hex->isChecked(), hexTicked);
    dialog.hide();
}

void TestWifiCredentials::enteredSsidClearsKeyType()
{
    TabWifiCredentials dialog(nullptr, sampleNetworks(), nullptr);
    const Parts p = partsOf(dialog);
    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    QList<BoxSeen> boxes;
    QString keyTypeBefore;
    QString keyTypeAfter;
    QStringList itemsAfter;
    modal.expect([&](QWidget *) {
        keyTypeBefore = p.keyType->currentText();
        p.ssid->lineEdit()->clear();
        QTest::keyClicks(p.ssid->lineEdit(), QStringLiteral("MyOwnNet"));
        // Return enters the SSID into the list and, as in any dialog, also presses the default
        // button; sent from the event loop so that the box it raises can be answered.
        QTimer::singleShot(0, &dialog, [&] {
            QTest::keyClick(p.ssid->lineEdit(), Qt::Key_Return);
            keyTypeAfter = p.keyType->currentText();
            itemsAfter = itemsOf(p.ssid);
        });
    });
    modal.expect(answerBox(&boxes));
    modal.expect([&](QWidget *) { clickLater(p.cancel); });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!watchdog.fired());
    QCOMPARE(keyTypeBefore, QStringLiteral("WPA2-AES"));
    QCOMPARE(itemsAfter.last(), QStringLiteral("MyOwnNet|"));
    QCOMPARE(keyTypeAfter, QString());
    // OK then finds the key type gone before anything else.
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first().text, QStringLiteral("Please Select Your Wireless Network Key Type."));
}

void TestWifiCredentials::validation_data()
{
    QTest::addColumn<QString>("ssid");
    QTest::addColumn<QString>("keyType"); // one of the list's items is chosen, others are typed
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("hexTicked");   // only where the box shows
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<QString>("password"); // what the caller receives when accepted

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

    // Key type first: nothing else is looked at before it.
    QTest::newRow("typed unknown type, all else empty") << ""
                                                        << "Foo"
                                                        << "" << false << selectType << "";
    QTest::newRow("empty type") << "Home"
                                << ""
                                << "secret" << false << selectType << "";
    QTest::newRow("lower-case type") << "Home"
                                     << "wpa2-aes"
                                     << "secret" << false << selectType << "";
    // Then the empty key, before the SSID.
    QTest::newRow("empty key, empty ssid") << ""
                                           << "WPA2-AES"
                                           << "" << false << emptyKey("WPA2-AES") << "";
    QTest::newRow("typed type with more text passes the type check")
        << "Home"
        << "WPA2-AES Personal"
        << "" << false << emptyKey("WPA2-AES Personal") << "";
    QTest::newRow("empty WEP key") << "Home"
                                   << "WEP"
                                   << "" << false << emptyKey("WEP") << "";
    // WEP lengths, before the SSID.
    QTest::newRow("ascii WEP of 4, empty ssid") << ""
                                                << "WEP"
                                                << "abcd" << false << ascii << "";
    QTest::newRow("ascii WEP of 10") << "Home"
                                     << "WEP"
                                     << "abcdefghij" << false << ascii << "";
    QTest::newRow("hex WEP of 12, empty ssid") << ""
                                               << "WEP"
                                               << "0123456789ab" << true << hex << "";
    QTest::newRow("hex WEP of 5") << "Home"
                                  << "WEP"
                                  << "abcde" << true << hex << "";
    QTest::newRow("hex WEP of 13") << "Home"
                                   << "WEP"
                                   << "0123456789abc" << true << hex << "";
    // Then the SSID.
    QTest::newRow("empty ssid after the key checks") << ""
                                                     << "WPA2-TKIP"
                                                     << "secret" << false << emptySsid << "";
    QTest::newRow("empty ssid with a good WEP key") << ""
                                                    << "WEP"
                                                    << "abcde" << false << emptySsid << "";
    QTest::newRow("empty ssid, open network") << ""
                                              << "No Authentication"
                                              << "" << false << emptySsid << "";
    // Accepted.
    QTest::newRow("ascii WEP of 5 becomes hex") << "Home"
                                                << "WEP"
                                                << "abcde" << false << ""
                                                << "6162636465";
    QTest::newRow("ascii WEP of 13 in lower-case hex") << "Home"
                                                       << "WEP"
                                                       << "ABCDEFGHIJKLM" << false << ""
                                                       << "4142434445464748494a4b4c4d";
    QTest::newRow("ascii WEP outside Latin-1 becomes ?")
        << "Home"
        << "WEP" << QStringLiteral("\u00e9\u20acabc") << false << ""
        << "e93f616263";
    QTest::newRow("hex WEP of 10 kept, letters beyond f too") << "Home"
                                                              << "WEP"
                                                              << "abcdefghij" << true << ""
                                                              << "abcdefghij";
    QTest::newRow("hex WEP of 26 kept") << "Home"
                                        << "WEP"
                                        << "0123456789ABCDEF0123456789" << true << ""
                                        << "0123456789ABCDEF0123456789";
    QTest::newRow("open network with empty key") << "Cafe"
                                                 << "No Authentication"
                                                 << "" << false << ""
                                                 << "";
    QTest::newRow("open network key passed as typed") << "Cafe"
                                                      << "No Authentication"
                                                      << "typed anyway" << false << ""
                                                      << "typed anyway";
    QTest::newRow("WPA key of one character") << "Home"
                                              << "WPA-TKIP"
                                              << "a" << false << ""
                                              << "a";
    QTest::newRow("typed type holding a known name") << "Home"
                                                     << "my WPA2-AES net"
                                                     << "k" << false << ""
                                                     << "k";
    QTest::newRow("line feeds removed from the key") << "Home"
                                                     << "WPA2-AES"
                                                     << "se\ncr\net" << false << ""
                                                     << "secret";
    QTest::newRow("line feeds removed before the WEP length check") << "Home"
                                                                    << "WEP"
                                                                    << "ab\ncde" << false << ""
                                                                    << "6162636465";
}

void TestWifiCredentials::validation()
{
    QFETCH(QString, ssid);
    QFETCH(QString, keyType);
    QFETCH(QString, key);
    QFETCH(bool, hexTicked);
    QFETCH(QString, message);
    QFETCH(QString, password);

    const Networks networks = {{QStringLiteral("Listed"), QStringLiteral("WPA2-PSK AES")}};
    TabWifiCredentials dialog(nullptr, networks, nullptr);
    const Parts p = partsOf(dialog);
    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    QList<BoxSeen> boxes;
    QStringList entriesAfter;

    modal.expect([&](QWidget *) {
        p.ssid->setEditText(QString());
        QTest::keyClicks(p.ssid->lineEdit(), ssid);
        const int index = kKeyTypes.indexOf(keyType);
        if (index >= 0) {
            p.keyType->setCurrentIndex(index);
        } else {
            p.keyType->setEditText(QString());
            QTest::keyClicks(p.keyType->lineEdit(), keyType);
        }
        if (p.hex->isVisible())
            p.hex->setChecked(hexTicked);
        p.key->setText(key); // setText, so that line feeds get into the field as a paste would
        clickLater(p.ok);
    });
    if (!message.isEmpty()) {
        modal.expect(answerBox(&boxes));
        modal.expect([&](QWidget *) {
            entriesAfter = {p.ssid->currentText(), p.keyType->currentText(), p.key->text()};
            clickLater(p.cancel);
        });
    }

    const int result = dialog.exec();
    QVERIFY(!watchdog.fired());
    if (message.isEmpty()) {
        QVERIFY2(boxes.isEmpty(), qPrintable(modal.seen().join(QLatin1Char('\n'))));
        QCOMPARE(result, int(QDialog::Accepted));
        QCOMPARE(dialog.ssid(), ssid);
        QCOMPARE(dialog.securityType(), keyType);
        QCOMPARE(dialog.password(), password);
        return;
    }
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(boxes.size(), 1);
    const BoxSeen &box = boxes.first();
    QVERIFY(box.isMessageBox);
    QCOMPARE(box.title, kBoxTitle);
    QCOMPARE(box.text, message);
    QCOMPARE(box.buttons, QMessageBox::Ok);
    if (message.startsWith(QLatin1String("Please Select"))) {
        // The plain box: no icon and no parent window.
        QCOMPARE(box.icon, QMessageBox::NoIcon);
        QCOMPARE(box.parent, nullptr);
    } else {
        QCOMPARE(box.icon, QMessageBox::Critical);
        QCOMPARE(box.parent, &dialog);
    }
    // The dialog stayed open with every entry as it was.
    QCOMPARE(entriesAfter, (QStringList{ssid, keyType, key}));
}

void TestWifiCredentials::rescan_data()
{
    QTest::addColumn<bool>("withAgent");
    QTest::addColumn<bool>("scanAnswers");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("keyType");
    QTest::addColumn<bool>("hexShown");
    QTest::addColumn<int>("scanRequests");

    QTest::newRow("new list replaces the old one")
        << true << true
        << QStringList{"Attic|WPA-PSK TKIP", "Shed|WEP", "Attic|WPA-PSK TKIP", "|WPA2-AES"}
        << "WPA-TKIP" << false << 1;
    QTest::newRow("failed scan leaves an empty list")
        << true << false << QStringList{} << "" << false << 1;
    QTest::newRow("without agent nothing happens")
        << false << true
        << QStringList{"HomeNet|WPA2-PSK AES", "OldRouter|WEP", "Guest|No Authentication",
                       "HomeNet|WPA2-PSK AES"}
        << "WPA2-AES" << false << 0;
}

void TestWifiCredentials::rescan()
{
    QFETCH(bool, withAgent);
    QFETCH(bool, scanAnswers);
    QFETCH(QStringList, items);
    QFETCH(QString, keyType);
    QFETCH(bool, hexShown);
    QFETCH(int, scanRequests);

    CameraScenario scenario;
    scenario.requireSession = false; // the dialog's agent has not logged in
    scenario.networks = {{QStringLiteral("Attic"), QStringLiteral("WPA-PSK TKIP"), true},
                         {QStringLiteral("Shed"), QStringLiteral("WEP"), true},
                         {QStringLiteral("Attic"), QStringLiteral("WPA-PSK TKIP"), true},
                         {QString(), QStringLiteral("WPA2-AES"), false}};
    if (!scanAnswers)
        scenario.faults.append({CameraFault::EmptyBody, QStringLiteral("setupGetWIFIScan"), 1, -1});
    SimulatedCamera camera(scenario);
    QVERIFY2(camera.listen(kCameraAddress, 80), qPrintable(camera.errorString()));

    std::unique_ptr<MyHttpsAgent> agent;
    if (withAgent)
        agent = std::make_unique<MyHttpsAgent>(kCameraAddress.toString(), nullptr);
    TabWifiCredentials dialog(nullptr, sampleNetworks(), agent.get());
    const Parts p = partsOf(dialog);
    p.key->setText(QStringLiteral("typed key"));

    // The button must be disabled while the camera is scanning.
    QList<bool> enabledDuringScan;
    connect(&camera, &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command == QLatin1String("setupGetWIFIScan"))
            enabledDuringScan << p.rescan->isEnabled();
    });

    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    QStringList itemsAfter;
    QString keyTypeAfter;
    bool hexAfter = false;
    bool enabledAfter = false;
    modal.expect([&](QWidget *) {
        p.rescan->click(); // returns when the scan is over
        itemsAfter = itemsOf(p.ssid);
        keyTypeAfter = p.keyType->currentText();
        hexAfter = p.hex->isVisible();
        enabledAfter = p.rescan->isEnabled();
        clickLater(p.cancel);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    QVERIFY(!watchdog.fired());

    QCOMPARE(itemsAfter, items);
    QCOMPARE(keyTypeAfter, keyType);
    QCOMPARE(hexAfter, hexShown);
    QVERIFY(enabledAfter);
    QCOMPARE(camera.requests(QStringLiteral("setupGetWIFIScan")).size(), scanRequests);
    QCOMPARE(enabledDuringScan, QList<bool>(scanRequests, false));
    QCOMPARE(p.key->text(), QStringLiteral("typed key"));
}

QTEST_MAIN(TestWifiCredentials)
#include "tst_wificredentials.moc"
