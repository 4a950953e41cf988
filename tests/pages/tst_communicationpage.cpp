#include "pages/tabnomocommunication.h"

#include "pagetesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
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
    QTest::addColumn<QStringList>("texts");    // what the user enters
    QTest::addColumn<QStringList>("expected"); // first, second, third after the slot
    QTest::addColumn<bool>("flag");            // bChangePassword after the slot
    QTest::addColumn<bool>("cancelled");

    const QString u = QStringLiteral("untouched");
    auto row = [](const char *name, const char *form, const char *ending, const QStringList &texts,
                  const QStringList &expected, bool flag, bool cancelled) {
        QTest::newRow(name) << form << ending << texts << expected << flag << cancelled;
    };
    row("password ok with change ticked", "password", "OK", {"pw 1", "tick"}, {"pw 1", u, u}, true,
        false);
    row("password ok with empty field", "password", "OK", {"", ""}, {"", u, u}, false, false);
    row("password ok keeps blanks", "password", "OK", {" pa ss ", ""}, {" pa ss ", u, u}, false,
        false);
    row("password cancel after ticking", "password", "Cancel", {"pw", "tick"}, {u, u, u}, true,
        true);
    row("password close button", "password", "close", {"pw", ""}, {u, u, u}, true, true);
    row("change ok", "change", "OK", {"abcd", "abcd"}, {"abcd", u, u}, false, false);
    row("change skip", "change", "Skip", {"abcd", "abcd"}, {u, u, u}, false, true);
    row("change close button", "change", "close", {"abcd", "abcd"}, {u, u, u}, false, true);
    row("wifi ok", "wifi", "Ok", {"Home", "secret"}, {"Home", "secret", "WPA2-AES"}, false, false);
    row("wifi ok hands on the hex form of an ascii WEP key", "wifi", "Ok", {"Old", "abcde"},
        {"Old", "6162636465", "WEP"}, false, false);
    row("wifi cancel", "wifi", "Cancel", {"Home", "secret"}, {u, u, u}, false, true);
}

void TestCommunicationPage::formSlotsWriteOnlyTheirAnswers()
{
    QFETCH(QString, form);
    QFETCH(QString, ending);
    QFETCH(QStringList, texts);
    QFETCH(bool, flag);
    QFETCH(bool, cancelled);

    TabNomoCommunication page(nullptr, 3);
    QWidget *dialogParent = nullptr;
    auto fill = [&](QWidget *w) {
        dialogParent = w->parentWidget();
        auto type = [w](const char *edit, const QString &text) {
            QTest::keyClicks(w->findChild<QLineEdit *>(QLatin1String(edit)), text);
        };
        if (form == QLatin1String("password")) {
            type("passwordEdit", texts[0]);
            if (texts[1] == QLatin1String("tick"))
                w->findChild<QCheckBox *>()->click();
        } else if (form == QLatin1String("change")) {
            type("newPasswordEdit", texts[0]);
            type("confirmPasswordEdit", texts[1]);
        } else {
            auto *ssid = w->findChild<QComboBox *>(QStringLiteral("ssidCombo"));
            ssid->setCurrentIndex(ssid->findText(texts[0]));
            // Choosing a WEP network ticks the hex box; these keys are typed as text.
            w->findChild<QCheckBox *>(QStringLiteral("hexKeyCheck"))->setChecked(false);
            type("keyEdit", texts[1]);
        }
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
