#include "discovery/tabconfigureonenomo.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

namespace {
// The choice as shown: each button's label, the checked one marked with "*".
QStringList shownChoice(const TabConfigureOneNomo &page)
{
    QStringList texts;
    for (QRadioButton *button : page.choiceButtons())
        texts << button->text() + (button->isChecked() ? "*" : "");
    return texts;
}

void runDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void row(const char *tag, const QString &entry, const QString &name, const QString &ip)
{
    QTest::newRow(tag) << entry << name << ip;
}
} // namespace

class TestTabConfigureOneNomo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void extractNameAndIp_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ip");
        row("maker and model", "Dovrel Nomo 0123@host-a", "Lumetra IP Camera 0123", "host-a");
        row("underscores", "Dovrel_Nomo_0123@h", "Lumetra IP Camera0123", "h");
        row("no model name: unchanged", "Lumetra-5@h", "Lumetra-5", "h");
        row("model test ignores case, pattern does not", "Dovrel nomo 7@h",
            "Lumetra IP Cameranomo 7", "h");
        row("only one leading blank removed", "Dovrel  Nomo 1@h", "Lumetra IP Camera Nomo 1", "h");
        row("maker anywhere", "Nomo Dovrel 3@h", "Lumetra IP Camera  3", "h");
        row("maker in lower case stays", "dovrel Nomo 4@h", "Lumetra IP Cameradovrel Nomo 4", "h");
        row("name holding an @", "Cam@era@host.local", "Cam", "era");
        row("no @: empty host", "Dovrel Nomo 0123", "Lumetra IP Camera 0123", "");
        row("empty entry", "", "", "");
    }

    void extractNameAndIp()
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

    void textsAndButtons()
    {
        TabConfigureOneNomo page(nullptr, 2);
        QSignalSpy moves(&page, &TabConfigureOneNomo::MoveWidgetSignal);
        QCOMPARE(page.findChildren<QLabel *>(Qt::FindDirectChildrenOnly).at(0)->text(),
                 QStringLiteral("<html ><body>The following Lumetra devices have been found on "
                                "the network.<br/>  Please select the one you want to set up.  "
                                "<br/>If there are multiple devices, set up one at a time. "
                                "</body></html>"));
        QCOMPARE(page.rescanButton()->text(), QStringLiteral("Re-Scan"));
        QCOMPARE(page.continueButton()->text(), QStringLiteral("Continue"));
        QVERIFY(page.continueButton()->isDefault());
        QVERIFY(!page.continueButton()->isEnabled());
        page.setDevices({QStringLiteral("Lumetra-5@host-5")});
        page.rescanButton()->click();
        page.choiceButtons().first()->click();
        page.continueButton()->click();
        QCOMPARE(moves.count(), 2);
        QCOMPARE(moves.at(0).first().toInt(), 0);
        QCOMPARE(moves.at(1).first().toInt(), 2);
    }

    void choicesFollowTheList_data()
    {
        QTest::addColumn<QStringList>("devices");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hosts");
        QTest::newRow("empty list") << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("list order kept")
            << QStringList{"Lumetra-5@b", "Dovrel Nomo 0123@a", "Dovrel_Nomo_9@c"}
            << QStringList{"Lumetra-5", "Lumetra IP Camera 0123", "Lumetra IP Camera9"}
            << QStringList{"b", "a", "c"};
        QTest::newRow("same display name, each its own host")
            << QStringList{"Dovrel Nomo 0123@first.local", "Dovrel_Nomo 0123@second.local"}
            << QStringList{"Lumetra IP Camera 0123", "Lumetra IP Camera 0123"}
            << QStringList{"first.local", "second.local"};
    }

    void choicesFollowTheList()
    {
        QFETCH(QStringList, devices);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hosts);
        TabConfigureOneNomo page(nullptr, 2);
        // The second round is a new scan's list: the earlier choice stays stored, but only a new
        // choice enables Continue.
        for (int round = 0; round < 2; ++round) {
            const QString stored = page.selectedDevice();
            page.setDevices(devices);
            QCOMPARE(shownChoice(page), shown);
            QCOMPARE(page.findChild<QScrollArea *>()->widget()->findChildren<QRadioButton *>(),
                     page.choiceButtons());
            QVERIFY(!page.continueButton()->isEnabled());
            QCOMPARE(page.selectedDevice(), stored);
            // Last to first, so that each click moves the choice away from a checked button.
            for (int i = hosts.size() - 1; i >= 0; --i) {
                page.choiceButtons().at(i)->click();
                QStringList chosen = shown;
                chosen[i] += '*';
                QCOMPARE(shownChoice(page), chosen);
                QCOMPARE(page.selectedDevice(), hosts.at(i));
                QVERIFY(page.continueButton()->isEnabled());
            }
            runDeferredDeletes();
        }
    }

    void clearingTwiceAcrossEventLoopTurns()
    {
        auto page = std::make_unique<TabConfigureOneNomo>(nullptr, 2);
        for (int round = 0; round < 2; ++round) {
            page->setDevices({QStringLiteral("Lumetra-5@a"), QStringLiteral("Lumetra-6@b")});
            QCOMPARE(page->choiceButtons().size(), 2);
            page->ClearDevices();
            runDeferredDeletes();
            QVERIFY(page->choiceButtons().isEmpty());
            QVERIFY(!page->findChild<QScrollArea *>()->widget());
            // The container and its layout are gone now; nothing may reach them again.
            page->ClearDevices();
        }
        // Cleared, and cleared again by the destructor before the event loop turns.
        page->setDevices({QStringLiteral("Lumetra-7@c")});
        page->ClearDevices();
        page.reset();
        runDeferredDeletes();
    }
};

QTEST_MAIN(TestTabConfigureOneNomo)
#include "tst_tabconfigureonenomo.moc"
