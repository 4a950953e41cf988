#include "pages/tabnomocommunication.h"

#include "pagetesthelpers.h"

#include <QPushButton>
#include <QSignalSpy>

class TestCommunicationPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowOpen(); }

    void pageLayoutAndIdleCancel();
    void hostIsTheTextBeforeTheFirstColon_data();
    void hostIsTheTextBeforeTheFirstColon();
    void formSlotsWriteOnlyTheirAnswers_data();
    void formSlotsWriteOnlyTheirAnswers();
    void resultsFormStoresThenMovesOn();
};

void TestCommunicationPage::pageLayoutAndIdleCancel()
{
    TabNomoCommunication page(nullptr, 3);
    QCOMPARE(describe(page.layout()), (QStringList{"[picture]", "~", "Confirming network settings.",
                                                   "~", "bar 0..8", "~", "(Cancel)"}));
    auto *cancel = qobject_cast<QPushButton *>(buttonWithText(&page, QStringLiteral("Cancel")));
    QVERIFY(cancel->isDefault());

    // Cancel before any session does nothing and stays enabled.
    QSignalSpy moves(&page, &TabNomoCommunication::MoveTabSignal);
    cancel->click();
    cancel->click();
    QVERIFY(cancel->isEnabled());
    QCOMPARE(moves.count(), 0);
    QVERIFY(!page.isSessionRunning());
}

void TestCommunicationPage::hostIsTheTextBeforeTheFirstColon_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("host");
    QTest::newRow("address alone") << "192.168.0.20"
                                   << "192.168.0.20";
    QTest::newRow("address with port") << "192.168.0.20:443"
                                       << "192.168.0.20";
    QTest::newRow("several colons") << "nomo:80:90"
                                    << "nomo";
    QTest::newRow("leading colon gives empty host") << ":443"
                                                    << "";
}

void TestCommunicationPage::hostIsTheTextBeforeTheFirstColon()
{
    QFETCH(QString, address);
    QTEST(TabNomoCommunication::hostOfAddress(address), "host");
}

void TestCommunicationPage::formSlotsWriteOnlyTheirAnswers_data()
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
    // Choosing a WEP network ticks the hex box; these keys are typed as text.
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
    row("password ok keeps blanks", "password", "OK", {pw, " pa ss "}, {" pa ss ", u, u}, false,
        false);
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
}

void TestCommunicationPage::formSlotsWriteOnlyTheirAnswers()
{
    QFETCH(QString, form);
    QFETCH(QString, ending);
    QFETCH(QStringList, fields);
    QFETCH(bool, flag);
    QFETCH(bool, cancelled);

    TabNomoCommunication page(nullptr, 3);
    QWidget *dialogParent = nullptr;
    auto fill = [&](QWidget *w) {
        dialogParent = w->parentWidget();
        fillIn(w, fields);
        endDialog(qobject_cast<QDialog *>(w), ending);
    };

    // Every answer starts as a sentinel, so any write that should not happen shows: bCancel as the
    // value the slot must not write, bChangePassword as the opposite of what OK must write.
    QString first = QStringLiteral("untouched"), second = first, third = first;
    bool changeFlag = cancelled ? flag : !flag;
    bool cancel = !cancelled;
    auto run = [&] {
        if (form == QLatin1String("password"))
            page.OnHttpsAgentDeviceAuthenticationForm(
                QStringLiteral("Enter the Lumetra - Wi-Fi setup password"), first, changeFlag,
                cancel);
        else if (form == QLatin1String("change"))
            page.OnHttpsAgentChangePasswordForm(QStringLiteral("old"), first, cancel);
        else
            page.OnHttpsAgentWifiCredentialsForm({{"Home", "WPA2-PSK AES"}, {"Old", "WEP"}}, first,
                                                 second, third, cancel);
    };
    QCOMPARE(runModal(run, fill), QStringList());
    QCOMPARE(dialogParent, &page);
    QTEST((QStringList{first, second, third}), "expected");
    QCOMPARE(cancel, true); // on OK it kept its preset (true), on a cancel it was set
    if (form == QLatin1String("password"))
        QCOMPARE(changeFlag, flag);
}

void TestCommunicationPage::resultsFormStoresThenMovesOn()
{
    TabNomoCommunication page(nullptr, 7); // the page index it carries is its own, not 3
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

QTEST_MAIN(TestCommunicationPage)
#include "tst_communicationpage.moc"
