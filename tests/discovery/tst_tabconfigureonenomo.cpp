#include "discovery/tabconfigureonenomo.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {
QStringList labels(const TabConfigureOneNomo &page)
{
    QStringList texts;
    for (QRadioButton *button : page.choiceButtons())
        texts << button->text();
    return texts;
}

int checkedCount(const TabConfigureOneNomo &page)
{
    int n = 0;
    for (QRadioButton *button : page.choiceButtons())
        n += button->isChecked() ? 1 : 0;
    return n;
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
} // namespace

class TestTabConfigureOneNomo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractNameAndIp_data();
    void extractNameAndIp();
    void layoutAndTexts();
    void choicesFollowTheList_data();
    void choicesFollowTheList();
    void choosingEnablesContinue();
    void sameDisplayNameKeepsOwnHost();
    void newListNeedsNewChoice();
    void clearingTwiceAcrossEventLoopTurns();
    void buttonsAskForPages();
};

void TestTabConfigureOneNomo::extractNameAndIp_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("ip");

    // The worked examples.
    QTest::newRow("maker and model") << "Dovrel Nomo 0123@host-a"
                                     << "Lumetra IP Camera 0123"
                                     << "host-a";
    QTest::newRow("underscores") << "Dovrel_Nomo_0123@h"
                                 << "Lumetra IP Camera0123"
                                 << "h";
    QTest::newRow("no model name: unchanged") << "Lumetra-5@h"
                                              << "Lumetra-5"
                                              << "h";
    QTest::newRow("model test ignores case, pattern does not") << "Dovrel nomo 7@h"
                                                               << "Lumetra IP Cameranomo 7"
                                                               << "h";
    // More rewrites.
    QTest::newRow("only one leading blank removed") << "Dovrel  Nomo 1@h"
                                                    << "Lumetra IP Camera Nomo 1"
                                                    << "h";
    QTest::newRow("model alone") << "Nomo@h"
                                 << "Lumetra IP Camera"
                                 << "h";
    QTest::newRow("model in upper case") << "NOMO 9@h"
                                         << "Lumetra IP CameraNOMO 9"
                                         << "h";
    QTest::newRow("maker anywhere") << "Nomo Dovrel 3@h"
                                    << "Lumetra IP Camera  3"
                                    << "h";
    QTest::newRow("maker in lower case stays") << "dovrel Nomo 4@h"
                                               << "Lumetra IP Cameradovrel Nomo 4"
                                               << "h";
    QTest::newRow("percent stays literal") << "Dovrel Nomo %1@h"
                                           << "Lumetra IP Camera %1"
                                           << "h";
    QTest::newRow("host name kept as is") << "Lumetra-5@NomoCam.local"
                                          << "Lumetra-5"
                                          << "NomoCam.local";
    // The "@" cases.
    QTest::newRow("name holding an @") << "Cam@era@host.local"
                                       << "Cam"
                                       << "era";
    QTest::newRow("three @") << "a@b@c@d"
                             << "a"
                             << "b";
    QTest::newRow("no @: empty host") << "Dovrel Nomo 0123"
                                      << "Lumetra IP Camera 0123"
                                      << "";
    QTest::newRow("empty host after @") << "Lumetra-5@"
                                        << "Lumetra-5"
                                        << "";
    QTest::newRow("empty name before @") << "@host"
                                         << ""
                                         << "host";
    QTest::newRow("empty entry") << ""
                                 << ""
                                 << "";
}

void TestTabConfigureOneNomo::extractNameAndIp()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QFETCH(QString, ip);
    QString gotName = QStringLiteral("stale");
    QString gotIp = QStringLiteral("stale");
    ::extractNameAndIp(entry, gotName, gotIp);
    QCOMPARE(gotName, name);
    QCOMPARE(gotIp, ip);
}

void TestTabConfigureOneNomo::layoutAndTexts()
{
    TabConfigureOneNomo page(nullptr, 2);
    const QList<QLabel *> labels = page.findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels.at(0)->text(),
             QStringLiteral("<html ><body>The following Lumetra devices have been found on the "
                            "network.<br/>  Please select the one you want to set up.  <br/>If "
                            "there are multiple devices, set up one at a time. </body></html>"));
    QVERIFY(!labels.at(1)->pixmap().isNull());
    QCOMPARE(labels.at(1)->alignment(), Qt::AlignRight);

    auto *box = page.findChild<QDialogButtonBox *>();
    QCOMPARE(box->buttons().size(), 2);
    QCOMPARE(page.rescanButton()->text(), QStringLiteral("Re-Scan"));
    QCOMPARE(page.continueButton()->text(), QStringLiteral("Continue"));
    for (QPushButton *button : {page.rescanButton(), page.continueButton()}) {
        QCOMPARE(box->buttonRole(button), QDialogButtonBox::ActionRole);
        QVERIFY(button->minimumWidth() >= 100);
    }
    QVERIFY(page.continueButton()->isDefault());
    QVERIFY(!page.continueButton()->isEnabled());

    auto *scroll = page.findChild<QScrollArea *>();
    QVERIFY(scroll->widgetResizable());
    QCOMPARE(scroll->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(scroll->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QVERIFY(page.selectedDevice().isEmpty());
}

void TestTabConfigureOneNomo::choicesFollowTheList_data()
{
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("empty list") << QStringList{} << QStringList{};
    QTest::newRow("list order kept")
        << QStringList{"Lumetra-5@b", "Dovrel Nomo 0123@a", "Dovrel_Nomo_9@c"}
        << QStringList{"Lumetra-5", "Lumetra IP Camera 0123", "Lumetra IP Camera9"};
    QTest::newRow("same display name twice")
        << QStringList{"Dovrel Nomo 0123@a", "Dovrel_Nomo 0123@b"}
        << QStringList{"Lumetra IP Camera 0123", "Lumetra IP Camera 0123"};
}

void TestTabConfigureOneNomo::choicesFollowTheList()
{
    QFETCH(QStringList, devices);
    QFETCH(QStringList, shown);
    TabConfigureOneNomo page(nullptr, 2);
    page.setDevices(devices);
    QCOMPARE(labels(page), shown);
    QCOMPARE(checkedCount(page), 0);
    QVERIFY(!page.continueButton()->isEnabled());
    auto *scroll = page.findChild<QScrollArea *>();
    QVERIFY(scroll->widget());
    QCOMPARE(scroll->widget()->findChildren<QRadioButton *>().size(), shown.size());
    // The same list again gives the same choice, still with nothing preselected.
    page.setDevices(devices);
    runDeferredDeletes();
    QCOMPARE(labels(page), shown);
    QCOMPARE(checkedCount(page), 0);
    QCOMPARE(scroll->widget()->findChildren<QRadioButton *>().size(), shown.size());
}

void TestTabConfigureOneNomo::choosingEnablesContinue()
{
    TabConfigureOneNomo page(nullptr, 2);
    page.setDevices({QStringLiteral("Lumetra-5@host-5"), QStringLiteral("Dovrel Nomo 7@host-7")});
    QVERIFY(!page.continueButton()->isEnabled());
    page.choiceButtons().at(1)->click();
    QVERIFY(page.continueButton()->isEnabled());
    QCOMPARE(page.selectedDevice(), QStringLiteral("host-7"));
    // Moving the choice unchecks the other button: one choice at a time.
    page.choiceButtons().at(0)->click();
    QCOMPARE(checkedCount(page), 1);
    QCOMPARE(page.selectedDevice(), QStringLiteral("host-5"));
    QVERIFY(page.continueButton()->isEnabled());
}

void TestTabConfigureOneNomo::sameDisplayNameKeepsOwnHost()
{
    TabConfigureOneNomo page(nullptr, 2);
    page.setDevices({QStringLiteral("Dovrel Nomo 0123@first.local"),
                     QStringLiteral("Dovrel_Nomo 0123@second.local")});
    QCOMPARE(page.choiceButtons().size(), 2);
    page.choiceButtons().at(0)->click();
    QCOMPARE(page.selectedDevice(), QStringLiteral("first.local"));
    page.choiceButtons().at(1)->click();
    QCOMPARE(page.selectedDevice(), QStringLiteral("second.local"));
    page.choiceButtons().at(0)->click();
    QCOMPARE(page.selectedDevice(), QStringLiteral("first.local"));
}

void TestTabConfigureOneNomo::newListNeedsNewChoice()
{
    TabConfigureOneNomo page(nullptr, 2);
    page.setDevices({QStringLiteral("Lumetra-5@host-5")});
    page.choiceButtons().first()->click();
    QVERIFY(page.continueButton()->isEnabled());
    page.setDevices({QStringLiteral("Lumetra-5@host-5")});
    QVERIFY(!page.continueButton()->isEnabled());
    QCOMPARE(checkedCount(page), 0);
    // The earlier choice is still stored, but only a new choice leads on.
    QCOMPARE(page.selectedDevice(), QStringLiteral("host-5"));
    page.setDevices({});
    QVERIFY(!page.continueButton()->isEnabled());
}

void TestTabConfigureOneNomo::clearingTwiceAcrossEventLoopTurns()
{
    auto page = std::make_unique<TabConfigureOneNomo>(nullptr, 2);
    page->setDevices({QStringLiteral("Lumetra-5@a"), QStringLiteral("Lumetra-6@b")});
    page->ClearDevices();
    runDeferredDeletes();
    QVERIFY(page->choiceButtons().isEmpty());
    QVERIFY(!page->findChild<QScrollArea *>()->widget());
    // The container and its layout are gone now; nothing may reach them again.
    page->ClearDevices();
    runDeferredDeletes();
    page->setDevices({QStringLiteral("Lumetra-7@c")});
    QCOMPARE(labels(*page), QStringList{QStringLiteral("Lumetra-7")});
    page->ClearDevices();
    page->ClearDevices();
    runDeferredDeletes();
    page->setDevices({QStringLiteral("Lumetra-8@d")});
    page->ClearDevices();
    page.reset();
    runDeferredDeletes();
}

void TestTabConfigureOneNomo::buttonsAskForPages()
{
    TabConfigureOneNomo page(nullptr, 2);
    QSignalSpy moves(&page, &TabConfigureOneNomo::MoveWidgetSignal);
    page.setDevices({QStringLiteral("Lumetra-5@host-5")});
    page.rescanButton()->click();
    page.choiceButtons().first()->click();
    page.continueButton()->click();
    QCOMPARE(moves.count(), 2);
    QCOMPARE(moves.at(0).first().toInt(), 0);
    QCOMPARE(moves.at(1).first().toInt(), 2);
}

QTEST_MAIN(TestTabConfigureOneNomo)
#include "tst_tabconfigureonenomo.moc"
