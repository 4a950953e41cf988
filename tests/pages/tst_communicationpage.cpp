#include "pages/tabnomocommunication.h"

#include "pagetesthelpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpacerItem>
#include <QTest>
#include <QVBoxLayout>

using Networks = QList<WIFINetworkEntry>;

namespace {

// The answers a form slot leaves in its reference arguments. Every argument starts as a sentinel
// (or, for bCancel, as the value the slot must not write), so any write that should not happen
// shows.
struct FormAnswers
{
    QString first = QStringLiteral("untouched");
    QString second = QStringLiteral("untouched");
    QString third = QStringLiteral("untouched");
    bool flag = false;
    bool cancel = false;
};

void endDialog(QDialog *dialog, const QString &how)
{
    if (how == QLatin1String("escape")) {
        QTest::keyClick(dialog, Qt::Key_Escape);
    } else if (how == QLatin1String("close")) {
        QMetaObject::invokeMethod(dialog, &QWidget::close, Qt::QueuedConnection);
    } else if (QAbstractButton *button = buttonWithText(dialog, how)) {
        clickLater(button);
    } else if (auto *box = dialog->findChild<QDialogButtonBox *>();
               box && how == QLatin1String("OK") && box->button(QDialogButtonBox::Ok)) {
        clickLater(box->button(QDialogButtonBox::Ok));
    } else {
        dialog->done(-1);
    }
}

} // namespace

class TestCommunicationPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void pageLayout();
    void hostIsTheTextBeforeTheFirstColon_data();
    void hostIsTheTextBeforeTheFirstColon();
    void cancelWithoutSessionDoesNothing();
    void formSlotsWriteOnlyTheirAnswers_data();
    void formSlotsWriteOnlyTheirAnswers();
    void resultsFormStoresThenMovesOn();
};

void TestCommunicationPage::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestCommunicationPage::pageLayout()
{
    TabNomoCommunication page(nullptr, 3);
    auto *layout = qobject_cast<QVBoxLayout *>(page.layout());
    QVERIFY(layout);
    QCOMPARE(layout->count(), 7);

    auto *logo = qobject_cast<QLabel *>(layout->itemAt(0)->widget());
    QVERIFY(logo);
    QVERIFY(!logo->pixmap().isNull());
    QCOMPARE(logo->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    for (int i : {1, 3, 5}) {
        QVERIFY(layout->itemAt(i)->spacerItem());
        QCOMPARE(layout->stretch(i), 1);
    }
    auto *label = qobject_cast<QLabel *>(layout->itemAt(2)->widget());
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Confirming network settings."));
    auto *progress = qobject_cast<QProgressBar *>(layout->itemAt(4)->widget());
    QVERIFY(progress);
    QCOMPARE(progress->minimum(), 0);
    QCOMPARE(progress->maximum(), 8);
    auto *box = qobject_cast<QDialogButtonBox *>(layout->itemAt(6)->widget());
    QVERIFY(box);
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QCOMPARE(box->buttons().size(), 1);
    auto *cancel = qobject_cast<QPushButton *>(box->buttons().first());
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    QCOMPARE(box->buttonRole(cancel), QDialogButtonBox::ActionRole);
    QCOMPARE(cancel->minimumWidth(), 100);
    QVERIFY(cancel->isDefault());

    QVERIFY(page.backgroundImage().isNull());
    QVERIFY(page.host().isNull());
    QVERIFY(!page.agent());
}

void TestCommunicationPage::hostIsTheTextBeforeTheFirstColon_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("host");
    QTest::newRow("address alone") << "192.168.0.20"
                                   << "192.168.0.20";
    QTest::newRow("address with port") << "192.168.0.20:443"
                                       << "192.168.0.20";
    QTest::newRow("host name with port") << "nomo-cam.local:80"
                                         << "nomo-cam.local";
    QTest::newRow("several colons") << "nomo:80:90"
                                    << "nomo";
    QTest::newRow("leading colon gives empty host") << ":443"
                                                    << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestCommunicationPage::hostIsTheTextBeforeTheFirstColon()
{
    QFETCH(QString, address);
    QFETCH(QString, host);
    QCOMPARE(TabNomoCommunication::hostOfAddress(address), host);
}

void TestCommunicationPage::cancelWithoutSessionDoesNothing()
{
    TabNomoCommunication page(nullptr, 3);
    QSignalSpy moves(&page, &TabNomoCommunication::MoveTabSignal);
    auto *cancel = qobject_cast<QPushButton *>(buttonWithText(&page, QStringLiteral("Cancel")));
    QVERIFY(cancel);
    cancel->click();
    cancel->click();
    QVERIFY(cancel->isEnabled());
    QCOMPARE(moves.count(), 0);
    QVERIFY(!page.isSessionRunning());
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
    QTest::newRow("password ok with change ticked")
        << "password"
        << "OK" << QStringList{"pw 1", "tick"} << QStringList{"pw 1", u, u} << true << false;
    QTest::newRow("password ok with empty field")
        << "password"
        << "OK" << QStringList{"", ""} << QStringList{"", u, u} << false << false;
    QTest::newRow("password cancel")
        << "password"
        << "Cancel" << QStringList{"pw", "tick"} << QStringList{u, u, u} << true << true;
    QTest::newRow("password close button")
        << "password"
        << "close" << QStringList{"pw", ""} << QStringList{u, u, u} << true << true;
    QTest::newRow("password escape")
        << "password"
        << "escape" << QStringList{"pw", ""} << QStringList{u, u, u} << true << true;

    QTest::newRow("change ok") << "change"
                               << "OK" << QStringList{"abcd", "abcd"} << QStringList{"abcd", u, u}
                               << false << false;
    QTest::newRow("change skip") << "change"
                                 << "Skip" << QStringList{"abcd", "abcd"} << QStringList{u, u, u}
                                 << false << true;
    QTest::newRow("change close button")
        << "change"
        << "close" << QStringList{"abcd", "abcd"} << QStringList{u, u, u} << false << true;

    QTest::newRow("wifi ok") << "wifi"
                             << "Ok" << QStringList{"Home", "secret"}
                             << QStringList{"Home", "secret", "WPA2-AES"} << false << false;
    QTest::newRow("wifi ok hands on the hex form of an ascii WEP key")
        << "wifi"
        << "Ok" << QStringList{"Old", "abcde"} << QStringList{"Old", "6162636465", "WEP"} << false
        << false;
    QTest::newRow("wifi cancel") << "wifi"
                                 << "Cancel" << QStringList{"Home", "secret"}
                                 << QStringList{u, u, u} << false << true;
    QTest::newRow("wifi close button")
        << "wifi"
        << "close" << QStringList{"Home", "secret"} << QStringList{u, u, u} << false << true;
}

void TestCommunicationPage::formSlotsWriteOnlyTheirAnswers()
{
    QFETCH(QString, form);
    QFETCH(QString, ending);
    QFETCH(QStringList, texts);
    QFETCH(QStringList, expected);
    QFETCH(bool, flag);
    QFETCH(bool, cancelled);

    TabNomoCommunication page(nullptr, 3);
    ModalDialogHandler modal;
    ModalWatchdog watchdog;
    QWidget *dialogParent = nullptr;
    QString dialogClass;
    modal.expect([&](QWidget *w) {
        auto *dialog = qobject_cast<QDialog *>(w);
        dialogParent = w->parentWidget();
        dialogClass = QString::fromLatin1(w->metaObject()->className());
        if (form == QLatin1String("password")) {
            QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("passwordEdit")), texts[0]);
            if (texts[1] == QLatin1String("tick"))
                w->findChild<QCheckBox *>()->click();
        } else if (form == QLatin1String("change")) {
            QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("newPasswordEdit")),
                             texts[0]);
            QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("confirmPasswordEdit")),
                             texts[1]);
        } else {
            auto *ssid = w->findChild<QComboBox *>(QStringLiteral("ssidCombo"));
            ssid->setCurrentIndex(ssid->findText(texts[0]));
            // Choosing a WEP network ticks the hex box; these keys are typed as text.
            w->findChild<QCheckBox *>(QStringLiteral("hexKeyCheck"))->setChecked(false);
            QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("keyEdit")), texts[1]);
        }
        endDialog(dialog, ending);
    });

    FormAnswers a;
    a.flag = !flag;        // must be written exactly when the password dialog is accepted
    a.cancel = !cancelled; // must be written only on a cancel, and then true
    if (form == QLatin1String("password")) {
        a.flag = true; // not written on a cancel; on OK it becomes the box's state
        page.OnHttpsAgentDeviceAuthenticationForm(QStringLiteral("Enter the Lumetra - Wi-Fi setup "
                                                                 "password"),
                                                  a.first, a.flag, a.cancel);
    } else if (form == QLatin1String("change")) {
        page.OnHttpsAgentChangePasswordForm(QStringLiteral("old"), a.first, a.cancel);
    } else {
        const Networks networks = {{QStringLiteral("Home"), QStringLiteral("WPA2-PSK AES")},
                                   {QStringLiteral("Old"), QStringLiteral("WEP")}};
        page.OnHttpsAgentWifiCredentialsForm(networks, a.first, a.second, a.third, a.cancel);
    }
    QVERIFY(!watchdog.fired());
    QCOMPARE(modal.handled(), 1);
    QCOMPARE(dialogParent, &page);
    const QString expectedClass = form == QLatin1String("password") ? "TabDeviceauthentication"
                                  : form == QLatin1String("change") ? "TabChangePassword"
                                                                    : "TabWifiCredentials";
    QCOMPARE(dialogClass, expectedClass);
    QCOMPARE((QStringList{a.first, a.second, a.third}), expected);
    QCOMPARE(a.cancel, true); // on OK it kept its preset (true), on a cancel it was set
    if (form == QLatin1String("password"))
        QCOMPARE(a.flag, flag);
}

void TestCommunicationPage::resultsFormStoresThenMovesOn()
{
    TabNomoCommunication page(nullptr, 7); // the page index it carries is its own, not 3
    QPixmap image(8, 8);
    image.fill(Qt::red);
    QList<int> seenAtMove;
    QList<bool> imageAtMove;
    connect(&page, &TabNomoCommunication::MoveTabSignal, this, [&](int index) {
        seenAtMove << index << int(page.result());
        imageAtMove << !page.backgroundImage().isNull();
    });
    page.OnHttpsAgentCommunicationResultsForm(ComResultNoInternet, image);
    QCOMPARE(seenAtMove, (QList<int>{7, int(ComResultNoInternet)}));
    QCOMPARE(imageAtMove, QList<bool>{true});
    QCOMPARE(page.backgroundImage().toImage(), image.toImage());

    QPixmap none;
    page.OnHttpsAgentCommunicationResultsForm(ComResultSuccess, none);
    QCOMPARE(page.result(), ComResultSuccess);
    QVERIFY(page.backgroundImage().isNull());
}

QTEST_MAIN(TestCommunicationPage)
#include "tst_communicationpage.moc"
