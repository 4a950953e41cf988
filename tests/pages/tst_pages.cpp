// The dialogs' rules, and what the communication and results pages decide.
#include "agent/agenttiming.h"
#include "agent/myhttpsagent.h"
#include "pages/tabchangepassword.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabnomocommunication.h"
#include "pages/tabwificredentials.h"
#include "tools/camerasim/simulatedcamera.h"

#include "modaldialoghandler.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

using Networks = QList<WIFINetworkEntry>;

namespace {

const QString kCamera = QStringLiteral("127.0.0.70");

// "ssid=security,..." as a scan lists them.
Networks networks(const QString &list)
{
    Networks out;
    for (const QString &n : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        out.append({n.section(QLatin1Char('='), 0, 0), n.section(QLatin1Char('='), 1)});
    return out;
}

// "password <prompt>", "change <old password>" or "wifi <networks>", see networks().
QDialog *makeDialog(const QString &description, MyHttpsAgent *agent = nullptr)
{
    const QString kind = description.section(QLatin1Char(' '), 0, 0),
                  rest = description.section(' ', 1);
    if (kind == QLatin1String("password"))
        return new TabDeviceauthentication(rest, nullptr);
    if (kind == QLatin1String("change"))
        return new TabChangePassword(nullptr, rest);
    return new TabWifiCredentials(nullptr, networks(rest), agent);
}

// Answers the next modal widget as a message box, recorded as "title|text|icon|buttons|parent's
// class", with OK. A dialog where a box was expected is recorded by its title and rejected.
ModalDialogHandler::Action answerBox(QStringList *seen)
{
    return [seen](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        const char *icons[] = {"no icon", "information", "warning", "critical", "question"};
        QWidget *parent = w->parentWidget();
        seen->append(!box ? w->windowTitle()
                          : QStringList{box->windowTitle(), box->text(), icons[box->icon()],
                                        box->standardButtons() == QMessageBox::Ok ? "Ok" : "others",
                                        parent ? parent->metaObject()->className() : "no parent"}
                                .join(QLatin1Char('|')));
        box ? ModalDialogHandler::clickButton(w, QMessageBox::Ok)
            : qobject_cast<QDialog *>(w)->reject();
    };
}

// Runs `run`, which opens a modal dialog handled by `fill`; each message box that comes up is
// recorded (see answerBox) and answered, and `then` ends the dialog. Returns the boxes seen.
QStringList runModal(const std::function<void()> &run, ModalDialogHandler::Action fill,
                     ModalDialogHandler::Action then = {})
{
    QStringList boxes;
    ModalDialogHandler modal;
    modal.expect(std::move(fill));
    modal.expect(answerBox(&boxes));
    if (then)
        modal.expect(std::move(then));
    run();
    return boxes;
}

// The button of that text; "OK" finds "Ok" too, as each dialog spells its own.
QAbstractButton *buttonWithText(QWidget *parent, const QString &text)
{
    for (QAbstractButton *b : parent->findChildren<QAbstractButton *>())
        if (b->text().compare(text, Qt::CaseInsensitive) == 0)
            return b;
    return nullptr;
}

// Presses the button of that text from the event loop, so that a modal loop the press opens does
// not block the caller.
void clickLater(QWidget *parent, const QString &text)
{
    QMetaObject::invokeMethod(buttonWithText(parent, text), &QAbstractButton::click,
                              Qt::QueuedConnection);
}

// A layout's content as a user reads it: a label's text or "[picture]", "edit <name>" ("*" when
// masked, "-" when disabled), "combo <name>", "[ ] text" / "[x] text" for a check box, "bar
// <min>..<max>", "(text)" per button of a button box, "~" for a stretch; "hidden " before a widget
// that is not shown.
QStringList describe(QWidget *parent)
{
    QStringList out;
    for (int i = 0; i < parent->layout()->count(); ++i) {
        QWidget *w = parent->layout()->itemAt(i)->widget();
        if (auto *box = qobject_cast<QDialogButtonBox *>(w)) {
            for (QAbstractButton *b : box->buttons())
                out << (b->isVisibleTo(parent) ? "(" : "hidden (") + b->text() + ")";
            continue;
        }
        QString s = !w ? "~" : w->isVisibleTo(parent) ? "" : "hidden ";
        if (auto *l = qobject_cast<QLabel *>(w))
            s += l->pixmap().isNull() ? l->text() : QStringLiteral("[picture]");
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            s += "edit " + e->objectName() + (e->echoMode() == QLineEdit::Password ? "*" : "") +
                 (e->isEnabled() ? "" : "-");
        else if (auto *c = qobject_cast<QComboBox *>(w))
            s += "combo " + c->objectName();
        else if (auto *c = qobject_cast<QCheckBox *>(w))
            s += (c->isChecked() ? "[x] " : "[ ] ") + c->text();
        else if (auto *b = qobject_cast<QProgressBar *>(w))
            s += QStringLiteral("bar %1..%2").arg(b->minimum()).arg(b->maximum());
        out << s;
    }
    return out;
}

// A dialog's entries, "|"-separated: password and "Change password" box, new password and its
// confirmation, or SSID, key type, Hex Key box and key. Given `fill`, enters those first: a line
// edit gets the text, a combo box the item of that text chosen (typed when there is none), a
// check box ticked by "tick".
QString enter(QWidget *dialog, const QString &fill = QString())
{
    QStringList fields = {"ssidCombo", "keyTypeCombo", "hexKeyCheck", "keyEdit"}, values;
    if (dialog->inherits("TabDeviceauthentication"))
        fields = QStringList{"passwordEdit", "changePasswordCheck"};
    else if (dialog->inherits("TabChangePassword"))
        fields = QStringList{"newPasswordEdit", "confirmPasswordEdit"};
    for (int i = 0; i < fields.size(); ++i) {
        QWidget *child = dialog->findChild<QWidget *>(fields[i]);
        const QString text = fill.section(QLatin1Char('|'), i, i);
        auto *edit = qobject_cast<QLineEdit *>(child);
        auto *combo = qobject_cast<QComboBox *>(child);
        auto *check = qobject_cast<QCheckBox *>(child);
        if (!fill.isEmpty() && edit) {
            edit->setText(text);
            edit->setFocus(); // a combo box keeps none: leaving it would match its text to an item
        } else if (!fill.isEmpty() && combo) {
            combo->findText(text) < 0 ? combo->setEditText(text)
                                      : combo->setCurrentIndex(combo->findText(text));
        } else if (!fill.isEmpty()) {
            check->setChecked(text == QLatin1String("tick"));
        }
        values << (edit    ? edit->text()
                   : combo ? combo->currentText()
                           : QString(check->isChecked() ? "tick" : ""));
    }
    return values.join(QLatin1Char('|'));
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

// The simulated camera on kCamera:80.
std::unique_ptr<SimulatedCamera> startCamera(const CameraScenario &scenario)
{
    auto camera = std::make_unique<SimulatedCamera>(scenario);
    if (!camera->listen(QHostAddress(kCamera), 80))
        qFatal("camera: %s", qPrintable(camera->errorString()));
    return camera;
}

} // namespace

// Receives the links handed to QDesktopServices instead of a browser.
class LinkRecorder : public QObject
{
    Q_OBJECT

public:
    LinkRecorder() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl"); }
    ~LinkRecorder() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    QList<QUrl> urls;

public Q_SLOTS:
    void openUrl(const QUrl &url) { urls.append(url); }
};

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
    void formDialogs_data();
    void formDialogs();
    void rescan_data();
    void rescan();
    // What the communication and results pages decide.
    void communicationPageOutsideSession();
    void connectUsesHostBeforeColon();
    void cancelEndsSession_data();
    void cancelEndsSession();
    void resultMessages_data();
    void resultMessages();
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
    QTest::addColumn<QString>("dialog"); // see makeDialog()
    QTest::addColumn<QString>("layout"); // see describe(), joined by "|"

    const QString retry = QStringLiteral("Incorrect password.  Please try again.");
    const QString create = QStringLiteral("Create a password for Wi-Fi configuration settings.|");
    const QString change = QStringLiteral(
        "New Password :|edit newPasswordEdit*|Confirm New Password :|edit confirmPasswordEdit*|"
        "<html><body><b>IMPORTANT: Record password for any future Wi-Fi configuration "
        "changes.</b></body></html>|(OK)|(Skip)");
    QTest::newRow("password") << "password " + retry
                              << retry + "|edit passwordEdit*|[ ] Change password|(OK)|(Cancel)";
    QTest::newRow("change, new") << "change " << create + change;
    QTest::newRow("change, with old")
        << "change Nomo-1234" << create + "Old Password :|edit oldPasswordEdit*-|" + change;
    // A WPA network first hides the box: see keyTypeAndHexBox.
    QTest::newRow("wifi, WEP first shows the Hex Key box unticked")
        << "wifi A rather long network name of 32 c=WEP,HomeNet=WPA2-PSK AES"
        << "<html><body>Please select the wireless network from the dropdown list and enter the "
           "Network Key and Key Type. <br/>If you don't see the network name in the list, you can "
           "type it in.<br/></body></html>|Wireless Network Name (SSID):|combo ssidCombo|Wireless "
           "Network Key (Password):|edit keyEdit|Wireless Network Key Type :|combo "
           "keyTypeCombo|[ ] Hex Key  |(Cancel)|(Try Again)|(Ok)";
}

// Built as shown, nothing clipped, and OK is the default button.
void TestPages::dialogLayout()
{
    QFETCH(QString, dialog);
    const std::unique_ptr<QDialog> d(makeDialog(dialog));
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    QCOMPARE(d->windowTitle(), QStringLiteral("Lumetra - Wi-Fi Setup Tool"));
    const Qt::WindowFlags flags = d->windowFlags();
    QVERIFY((flags & Qt::WindowType_Mask) == Qt::Dialog && (flags & Qt::WindowCloseButtonHint));
    QVERIFY(!(flags & (Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)));
    QTEST(describe(d.get()).join(QLatin1Char('|')), "layout");
    for (QWidget *w : d->findChildren<QWidget *>()) {
        if (w->isVisible() && (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)))
            QVERIFY2(w->width() >= w->sizeHint().width() && w->height() >= w->sizeHint().height(),
                     qPrintable(w->objectName() + w->property("text").toString()));
    }
    QVERIFY(qobject_cast<QPushButton *>(buttonWithText(d.get(), "OK"))->isDefault());
}

void TestPages::keyTypeAndHexBox_data()
{
    QTest::addColumn<QString>("networks"); // see networks()
    QTest::addColumn<QString>("steps"); // "t<n>": choose key type n, "n<n>": network n, "u": untick
    QTest::addColumn<QString>("outcome"); // "key type|Hex Key box", the box hidden or shown, ticked

    const auto row = [](const char *name, const QString &networks, const char *steps,
                        const char *outcome) {
        QTest::newRow(name) << networks << steps << outcome;
    };
    // Presets from the first network, made during construction: the box is never ticked then.
    const auto preset = [&](const char *name, const char *security, const char *outcome) {
        row(name, "Net=" + QString::fromLatin1(security) + ",Other=WEP", "", outcome);
    };
    preset("WPA2-PSK TKIP", "WPA2-PSK TKIP", "WPA2-TKIP|hidden");
    preset("WPA-PSK AES", "WPA-PSK AES", "WPA-AES|hidden");
    preset("WPA-PSK TKIP", "WPA-PSK TKIP", "WPA-TKIP|hidden");
    preset("WPA/WPA2 mixed counts as WPA2", "WPA/WPA2", "WPA2-AES|hidden");
    preset("WEP shows the unticked box", "WEP", "WEP|shown");
    preset("WEP beside WPA counts as WPA", "WPA WEP", "WPA-AES|hidden");
    preset("No Authentication", "No Authentication", "No Authentication|hidden");
    preset("empty type leaves the field empty", "", "|hidden");
    row("empty list", "", "", "|hidden");
    // Choices while the dialog shows.
    const QString wpaFirst = QStringLiteral("Home=WPA2-PSK AES,Old=WEP,Old2=WEP");
    row("choosing WEP ticks the box", wpaFirst, "t4", "WEP|shown ticked");
    row("another type hides it", wpaFirst, "t4 t2", "WPA2-AES|hidden ticked");
    row("WEP network while type was not WEP", wpaFirst, "n1", "WEP|shown ticked");
    row("untick, WPA network, WEP network again", wpaFirst, "n1 u n0 n2", "WEP|shown ticked");
    row("untick, other WEP network keeps it unticked", wpaFirst, "n1 u n2", "WEP|shown");
}

void TestPages::keyTypeAndHexBox()
{
    QFETCH(QString, networks);
    QFETCH(QString, steps);
    TabWifiCredentials dialog(nullptr, ::networks(networks), nullptr);
    auto *ssid = dialog.findChild<QComboBox *>("ssidCombo");
    auto *keyType = dialog.findChild<QComboBox *>("keyTypeCombo");
    auto *hex = dialog.findChild<QCheckBox *>("hexKeyCheck");
    QCOMPARE(ssid->currentText(), networks.section(QLatin1Char('='), 0, 0));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (const QString &step : steps.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (step == QLatin1String("u"))
            hex->setChecked(false);
        else
            (step.startsWith(QLatin1Char('t')) ? keyType : ssid)
                ->setCurrentIndex(step.mid(1).toInt());
    }
    QTEST(keyType->currentText() + (hex->isVisible() ? "|shown" : "|hidden") +
              (hex->isChecked() ? " ticked" : ""),
          "outcome");
    if (networks.isEmpty()) // the first key type stays current, its text cleared
        QCOMPARE(keyType->currentIndex(), 0);
}

void TestPages::formDialogs_data()
{
    QTest::addColumn<QString>("form");    // password, change or wifi, as the page's slot opens it
    QTest::addColumn<QString>("entries"); // see enter(), then the button that ends the dialog
    QTest::addColumn<QString>("outcome"); // the box (see answerBox), else the answers written

    // Answers: first|second|third ("-" when not written), " change", " cancelled" for the flags.
    const auto row = [](const char *name, const char *form, const char *entries,
                        const QString &outcome) {
        QTest::newRow(name) << form << entries << outcome;
    };
    row("password ok with change ticked", "password", "pw 1|tick|OK", "pw 1|-|- change");
    row("password ok, empty and unticked", "password", "||OK", "|-|-");
    row("password cancel after ticking", "password", "pw|tick|Cancel", "-|-|- cancelled");
    row("change skip", "change", "abcd|abcd|Skip", "-|-|- cancelled");
    row("wifi cancel", "wifi", "Home|WPA2-AES||secret|Cancel", "-|-|- cancelled");

    // New password|confirmation, OK.
    const QString tooShort =
        "Error !|Pasword must be at least 4 letters |critical|Ok|TabNomoCommunication";
    const QString mismatch = "Error !|New Password and Confirmation Password do not match. "
                             "|critical|Ok|TabNomoCommunication";
    row("3 characters although matching", "change", "abc|abc|OK", tooShort);
    row("short and differing: length first", "change", "ab|xyz|OK", tooShort);
    row("differs only in case", "change", "abcd|ABCD|OK", mismatch);
    row("leading blank is not trimmed", "change", " abcd|abcd|OK", mismatch);
    row("exactly four matching", "change", "abcd|abcd|OK", "abcd|-|-");
    row("blanks count towards the length", "change", "    |    |OK", "    |-|-");

    // SSID|key type|hex box|key, OK.
    const QString title = QStringLiteral("Dovrel Nomo - Wi-Fi Setup Tool");
    const QString box = title + QStringLiteral("|%1|critical|Ok|TabWifiCredentials");
    const QString ascii =
        box.arg("Wireless Network Key Length Incorrect ! \n Must be 5, 13 ascii characters long .");
    const QString hex = box.arg(
        "Wireless Network Key Length Incorrect ! \nMust be 10, 26 hexadecimal digits long .");
    const QString emptyKey = box.arg("Wireless Network key cannot be empty for  %1  .");
    // The order: key type, empty key, WEP length, SSID. The key type box is a plain one.
    row("lower-case type, all else empty", "wifi", "|wpa2-aes|||OK",
        title + "|Please Select Your Wireless Network Key Type.|no icon|Ok|no parent");
    row("empty key, empty ssid", "wifi", "|WPA2-AES|||OK", emptyKey.arg("WPA2-AES"));
    row("ascii WEP of 4, empty ssid", "wifi", "|WEP||abcd|OK", ascii);
    row("hex WEP of 12, empty ssid", "wifi", "|WEP|tick|0123456789ab|OK", hex);
    row("empty ssid with a good WEP key", "wifi", "|WEP||abcde|OK",
        box.arg("Can't use an empty SSID !!"));
    row("ascii WEP of 13 in lower-case hex", "wifi", "Home|WEP||ABCDEFGHIJKLM|OK",
        "Home|4142434445464748494a4b4c4d|WEP");
    row("ascii WEP outside Latin-1 becomes ?", "wifi", "Home|WEP||\u00e9\u20acabc|OK",
        "Home|e93f616263|WEP");
    row("hex WEP of 26 kept", "wifi", "Home|WEP|tick|0123456789ABCDEF0123456789|OK",
        "Home|0123456789ABCDEF0123456789|WEP");
    row("typed type holding a known name, one-letter key", "wifi", "Home|my WPA2-AES net||k|OK",
        "Home|k|my WPA2-AES net");
    row("line feeds removed before the WEP length check", "wifi", "Home|WEP||ab\ncde|OK",
        "Home|6162636465|WEP");
}

// Each form opens its dialog on the page. A fault shows one message box and leaves the dialog
// open with its entries as they were (and the cursor in the new password), writing nothing; OK
// with acceptable entries writes the answers, any other ending only bCancel.
void TestPages::formDialogs()
{
    QFETCH(QString, form);
    QFETCH(QString, entries);
    TabNomoCommunication page(nullptr, 3);
    QString first = QStringLiteral("-"), second = first, third = first;
    bool changeFlag = false, cancel = false;
    QWidget *parent = nullptr;
    QString entered, after, focus;
    const QStringList boxes = runModal(
        [&] {
            if (form == QLatin1String("password"))
                page.OnHttpsAgentDeviceAuthenticationForm("prompt", first, changeFlag, cancel);
            else if (form == QLatin1String("change"))
                page.OnHttpsAgentChangePasswordForm(QStringLiteral("old"), first, cancel);
            else
                page.OnHttpsAgentWifiCredentialsForm(networks("Listed=WPA2-PSK AES"), first, second,
                                                     third, cancel);
        },
        [&](QWidget *w) {
            parent = w->parentWidget();
            entered = enter(w, entries);
            clickLater(w, entries.section(QLatin1Char('|'), -1));
        },
        [&](QWidget *w) {
            after = enter(w);
            focus = w->focusWidget()->objectName();
            qobject_cast<QDialog *>(w)->reject();
        });
    QCOMPARE(parent, &page);
    const QString answers = first + '|' + second + '|' + third + (changeFlag ? " change" : "") +
                            (cancel ? " cancelled" : "");
    if (boxes.isEmpty()) {
        QTEST(answers, "outcome");
        return;
    }
    QTEST(boxes.join(QLatin1Char('\n')), "outcome");
    QCOMPARE(after, entered);
    QCOMPARE(answers, QStringLiteral("-|-|- cancelled"));
    QVERIFY(form != QLatin1String("change") || focus == QLatin1String("newPasswordEdit"));
}

void TestPages::rescan_data()
{
    QTest::addColumn<bool>("scanAnswers");
    QTest::addColumn<QString>("outcome"); // see rescan()

    QTest::newRow("new list replaces the old one")
        << true
        << "[ ] Hex Key  ,Attic|WPA-PSK TKIP,Shed|WEP,Attic|WPA-PSK TKIP,|WPA2-AES,"
           "Attic|WPA-TKIP||typed key,hidden [ ] Hex Key  ,enabled";
    QTest::newRow("failed scan leaves an empty list")
        << false << "[ ] Hex Key  ,|||typed key,hidden [ ] Hex Key  ,enabled";
}

// The Hex Key box of the first (WEP) network goes with it; the typed key stays.
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
    const auto camera = startCamera(scenario);
    MyHttpsAgent agent(kCamera, nullptr);
    const std::unique_ptr<QDialog> dialog(
        makeDialog("wifi OldRouter=WEP,HomeNet=WPA2-PSK AES", &agent));
    auto *ssid = dialog->findChild<QComboBox *>("ssidCombo");
    auto *rescanButton = dialog->findChild<QPushButton *>("rescanButton");
    QList<bool> enabledDuringScan;
    connect(camera.get(), &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command == QLatin1String("setupGetWIFIScan"))
            enabledDuringScan << rescanButton->isEnabled();
    });
    QStringList after; // Hex Key box before, list and entries, box and button after the rescan
    runModal([&] { dialog->exec(); },
             [&](QWidget *w) {
                 enter(w, "OldRouter|WEP||typed key");
                 after << describe(w).filter("Hex Key");
                 rescanButton->click(); // returns when the scan is over
                 for (int i = 0; i < ssid->count(); ++i)
                     after << ssid->itemText(i) + QLatin1Char('|') + ssid->itemData(i).toString();
                 after << enter(w) << describe(w).filter("Hex Key")
                       << (rescanButton->isEnabled() ? "enabled" : "disabled");
                 clickLater(w, "Cancel");
             });
    QTEST(after.join(QLatin1Char(',')), "outcome");
    QCOMPARE(enabledDuringScan, QList<bool>{false}); // one scan, with the button disabled
}

// Idle, Cancel does nothing and stays enabled; the results form stores the outcome and image, then
// moves on with the index the page carries (its own, not 3).
void TestPages::communicationPageOutsideSession()
{
    TabNomoCommunication page(nullptr, 7);
    QCOMPARE(describe(&page), (QStringList{"[picture]", "~", "Confirming network settings.", "~",
                                           "bar 0..8", "~", "(Cancel)"}));
    auto *cancel = qobject_cast<QPushButton *>(buttonWithText(&page, "Cancel"));
    QVERIFY(cancel->isDefault());
    QList<int> seenAtMove; // the index, then what the page had stored by then
    connect(&page, &TabNomoCommunication::MoveTabSignal, this, [&](int index) {
        seenAtMove << index << int(page.result()) << int(page.backgroundImage().isNull());
    });
    cancel->click();
    QVERIFY(cancel->isEnabled());
    QPixmap image(8, 8);
    image.fill(Qt::red);
    page.OnHttpsAgentCommunicationResultsForm(ComResultNoInternet, image);
    QCOMPARE(seenAtMove, (QList<int>{7, int(ComResultNoInternet), 0}));
    QCOMPARE(page.backgroundImage().toImage(), image.toImage());
}

// The host is everything before the first ":"; each Connect starts afresh with an empty bar and
// an agent of its own, released after its session.
void TestPages::connectUsesHostBeforeColon()
{
    const auto camera = startCamera(CameraScenario::named(QStringLiteral("password")));
    HostWindow host;
    auto *bar = host.page->findChild<QProgressBar *>();
    QList<int> barAtFirstRequest;
    connect(camera.get(), &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.tryNumber == 1 && r.command == QLatin1String("setupVerify"))
            barAtFirstRequest << bar->value();
    });
    QList<QPointer<MyHttpsAgent>> agents; // as each session's dialog saw it
    ModalDialogHandler modal;
    const QStringList addresses = {kCamera + ":443", kCamera + ":80:90", kCamera, ":443"};
    QStringList hosts;
    for (const QString &address : addresses) {
        camera->setScenario(camera->scenario()); // counts tries afresh
        modal.expect([&](QWidget *w) {
            agents << host.page->agent();
            QVERIFY(agents.last());
            clickLater(w, "Cancel");
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
    QTest::addColumn<QString>("slow");        // "command try": its reply is held back a minute
    QTest::addColumn<QString>("entries");     // entered in every form dialog, see enter()
    QTest::addColumn<QStringList>("answers"); // how the form dialogs end in turn, see clickLater()
    QTest::addColumn<QString>("trigger");     // what happens when the slow request arrives

    const auto row = [](const char *name, const char *scenario, const char *slow,
                        const char *entries, const QStringList &answers, const char *trigger) {
        QTest::newRow(name) << scenario << slow << entries << answers << trigger;
    };
    row("Cancel button while the network is set", "no-password", "setupSetSSID 1",
        "Home|No Authentication||", {"Skip", "Ok"}, "cancel");
    row("Wi-Fi dialog's Cancel during a rescan", "no-password", "setupGetWIFIScan 2", "",
        {"Skip", "Try Again"}, "Cancel");
    row("window closed while a request waits", "password", "setupVerify 2", "", {}, "window");
    row("window closed while a dialog is open", "no-password", " 0", "", {"Skip", "window"}, "");
}

// Ends at once, as cancelled, with the move to the results page.
void TestPages::cancelEndsSession()
{
    QFETCH(QString, scenario);
    QFETCH(QString, slow);
    QFETCH(QString, entries);
    QFETCH(QStringList, answers);
    QFETCH(QString, trigger);
    const QString slowCommand = slow.section(QLatin1Char(' '), 0, 0);
    const int slowTry = slow.section(QLatin1Char(' '), 1).toInt();
    CameraScenario s = CameraScenario::named(scenario);
    s.faults.append({CameraFault::SlowReply, slowCommand, slowTry, 1});
    s.slowMs = 60000;
    const auto camera = startCamera(s);
    HostWindow host;
    QSignalSpy moves(host.page, &TabNomoCommunication::MoveTabSignal);
    QElapsedTimer sinceTrigger;
    QPointer<QWidget> dialog;
    auto act = [&](const QString &how) {
        sinceTrigger.start();
        // A session that goes on regardless is ended by closing the window, late and so failing.
        QTimer::singleShot(8000, &host.window, [&] { host.window.close(); });
        if (how == QLatin1String("cancel"))
            clickLater(host.page, "Cancel");
        else if (how == QLatin1String("window"))
            QMetaObject::invokeMethod(&host.window, &QWidget::close, Qt::QueuedConnection);
        else
            clickLater(dialog, how);
    };
    connect(camera.get(), &SimulatedCamera::requestReceived, this, [&](const CameraRequest &r) {
        if (r.command == slowCommand && r.tryNumber == slowTry)
            act(trigger);
    });
    ModalDialogHandler modal;
    for (const QString &answer : answers) {
        modal.expect([&, answer](QWidget *w) {
            dialog = w;
            enter(w, entries);
            answer == QLatin1String("window") ? act(answer) : clickLater(w, answer);
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
    QTest::addColumn<QString>("text"); // inside the page's HTML frame

    const QString guide =
        "For troubleshooting information, refer to the Lumetra Installation Guide.";
    const QString failed =
        "The Lumetra Wi-Fi setup could not be completed.  Click the <b>''Return to "
        "Wi-Fi Setup''</b> button to try again. <br/><br/> " +
        guide;
    const QString url = QStringLiteral(NOMO_DOWNLOAD_URL);
    QTest::newRow("0 version not current")
        << 0
        << "This version of the Lumetra - WiFi Setup Tool is not current. <br/> Click "
           "<b>''Exit''</b> and go to <a href=\"" +
               url + "\" target=\"_blank\"><b>" + url +
               "</b></a> to download the latest version. <br/><br/> ";
    QTest::newRow("1 failed") << 1 << failed;
    QTest::newRow("2 success")
        << 2
        << "The Lumetra device is now connected to the wireless network. <br/>Click "
           "<b>''Exit''</b> to finish. To install Lumetra, refer to Lumetra Installation "
           "Guide.<br/>.";
    QTest::newRow("3 error reported") << 3 << failed;
    QTest::newRow("4 cancelled")
        << 4
        << "Are you sure you want to exit the Lumetra Wi-Fi Setup?  <br/> To set up or update "
           "the WiFi settings, click the <b>''Return to Wi-Fi Setup''</b> button. <br/><br/> " +
               guide + ' ';
    QTest::newRow("5 no internet")
        << 5
        << "The Lumetra device cannot connect to the Internet. <br/> Please check the router "
           "and firewall to verify ports 123, 80, and 443 are open and then click the "
           "<br/><b>''Return to Wi-Fi Setup''</b> button to try again. <br/><br/>" +
               guide;
    QTest::newRow("6 no reply")
        << 6 << "The Lumetra Wi-Fi setup cannot be completed at this time.<br/></br>" + guide;
    QTest::newRow("9 wifi unavailable")
        << 9
        << "Wi-Fi unavailable.  Please check hardware and network settings. <br/><br/> " + guide;
    for (int outcome : {7, 8, 10, -1}) // unused, error 503, out of range: no text
        QTest::addRow("%d no text", outcome) << outcome << QString();
}

// The outcome's text; its picture shown only after a success, and after one "Return to Wi-Fi
// Setup" never comes back. That button clears the page and asks for a fresh scan.
void TestPages::resultMessages()
{
    QFETCH(int, outcome);
    QFETCH(QString, text);
    const bool success = outcome == ComResultSuccess;
    const QString returnButton =
        (success ? "hidden " : "") + QStringLiteral("(Return to Wi-Fi Setup)");
    TabCommunicationResults page(nullptr, 4);
    const QStringList idle = {"[picture]", "hidden [picture]", "", "(Exit)",
                              "(Return to Wi-Fi Setup)"};
    QCOMPARE(describe(&page), idle);
    QVERIFY(!page.findChild<QLabel *>("textLabel")->wordWrap());
    QPixmap image(40, 30);
    image.fill(Qt::darkCyan);
    page.setTextAndImage(enmComResult(outcome), image);
    QCOMPARE(page.findChild<QLabel *>("textLabel")->text(),
             text.isEmpty() ? text
                            : "<html ><font  Color=\"black\"><body>" + text + "</body></html>");
    QCOMPARE(page.findChild<QLabel *>("backgroundLabel")->pixmap().toImage(), image.toImage());
    QCOMPARE(describe(&page).mid(1, 1), QStringList{success ? "[picture]" : "hidden [picture]"});
    page.setTextAndImage(ComResultFailed, image);
    QCOMPARE(describe(&page).last(), returnButton);
    QSignalSpy moves(&page, &TabCommunicationResults::MoveTabSignal);
    buttonWithText(&page, "Return to Wi-Fi Setup")->click();
    QCOMPARE(QList<QVariantList>(moves), QList<QVariantList>{{0}});
    QCOMPARE(describe(&page), idle.mid(0, 4) << returnButton);
}

void TestPages::linksOpenInBrowser_data()
{
    QTest::addColumn<QString>("prompt"); // of a password dialog, else the results page
    QTest::addColumn<QString>("how");    // mouse or keyboard, see below
    QTest::addColumn<QString>("url");

    const QString help = QStringLiteral("https://help.lumetra.example/password");
    for (const char *how : {"mouse", "keyboard"}) {
        QTest::addRow("download address, %s", how) << "" << how << NOMO_DOWNLOAD_URL;
        QTest::addRow("password prompt, %s", how)
            << QStringLiteral("<a href=\"%1\">%1</a>").arg(help) << how << help;
    }
}

// A link opens in the browser and leaves its page or dialog open. "mouse" clicks across the label
// until a link answers; "keyboard" tabs to the label, on to its first link, and presses Enter.
void TestPages::linksOpenInBrowser()
{
    QFETCH(QString, prompt);
    QFETCH(QString, how);
    LinkRecorder links;
    TabCommunicationResults results(nullptr, 4);
    results.setTextAndImage(ComResultVersionNotCurrent, QPixmap());
    const std::unique_ptr<QDialog> dialog(makeDialog("password " + prompt));
    QWidget *widget = prompt.isEmpty() ? static_cast<QWidget *>(&results) : dialog.get();
    widget->show();
    QVERIFY(QTest::qWaitForWindowActive(widget));
    auto *label = widget->findChild<QLabel *>(prompt.isEmpty() ? "textLabel" : "messageLabel");
    const QRect area = label->contentsRect();
    for (int y = area.top() + 2; how == "mouse" && y < area.bottom() && links.urls.isEmpty();
         y += 6)
        for (int x = area.left() + 2; x < area.right() && links.urls.isEmpty(); x += 12)
            QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(x, y));
    for (int i = 0; how == "keyboard" && i < 8 && QApplication::focusWidget() != label; ++i)
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : widget,
                        Qt::Key_Tab);
    if (how == "keyboard") {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // on to the label's first link
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
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
