#include "discovery/bonjourrecord.h"
#include "discovery/bonjourservicebrowser.h"
#include "discovery/bonjourserviceresolver.h"
#include "discovery/discoveryproblem.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"

#include "modaldialoghandler.h"

#include <QDialogButtonBox>
#include <QHostAddress>
#include <QHostInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>

namespace {
// One crafted browse reply, written "+name" (added) or "-name" (removed), with "@3" for another
// interface than 2, "/domain" for another domain than "local.", and a closing "*" for the
// more-coming flag; "!" is an error reply, with null names as Avahi sends it when its daemon goes.
void deliver(BonjourServiceBrowser &browser, QString reply)
{
    DNSServiceFlags flags = reply.startsWith('+') ? kDNSServiceFlagsAdd : 0;
    if (reply.endsWith('*'))
        flags |= kDNSServiceFlagsMoreComing;
    const QStringList parts = reply.mid(1).remove('*').split('/');
    const QByteArray name = parts.first().section('@', 0, 0).toUtf8();
    const QByteArray domain = parts.value(1, "local.").toUtf8();
    const bool error = reply.startsWith('!');
    BonjourServiceBrowser::bonjourBrowseReply(
        nullptr, flags, reply.contains('@') ? 3 : 2, error ? kDNSServiceErr_Unknown : 0,
        error ? nullptr : name.constData(), error ? nullptr : "_http._tcp.",
        error ? nullptr : domain.constData(), &browser);
}

QStringList shown(const QList<BonjourRecord> &records) // "name", or "name/domain" if not local.
{
    QStringList list;
    for (const BonjourRecord &r : records)
        list << r.serviceName + (r.replyDomain == "local." ? "" : "/" + r.replyDomain);
    return list;
}

void deliver(BonjourServiceResolver &resolver, const char *hosttarget, int error = 0)
{
    BonjourServiceResolver::bonjourResolveReply(nullptr, 0, 2, error, "x._http._tcp.local.",
                                                hosttarget, 80, 0, nullptr, &resolver);
}

// The choice as shown on page 2: each button's label, the checked one marked with "*".
QStringList shownChoice(const TabConfigureOneNomo &page)
{
    QStringList texts;
    for (QRadioButton *button : page.choiceButtons())
        texts << button->text() + (button->isChecked() ? "*" : "");
    return texts;
}
} // namespace

// Discovery without a DNS-SD service (the system bus address leads nowhere, so a browse or resolve
// fails at once): replies are fed to the callbacks, resolutions to the scan page, directly. Host
// lookups stay on "localhost" and numbers, which need no network. The network namespace test runs
// the real service. Also the device page: its list, its dialog for a camera that the search did not
// list, and its notice of a dead search, which only explains an empty list.
class TestDiscovery : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void browseReplies_data()
    {
        QTest::addColumn<QStringList>("replies");
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<int>("listSignals");
        QTest::addColumn<int>("errors");
        QTest::newRow("order of arrival, every reply signals, two interfaces listed once, one "
                      "removal removes it")
            << QStringList{"+Printer", "+Cam", "+Cam@3", "+Lumetra-5", "-Cam"}
            << QStringList{"Printer", "Lumetra-5"} << 5 << 0;
        QTest::newRow("case and domain variants are distinct, also for removal")
            << QStringList{"+Cam", "+cam", "+Cam/example.com.", "-cam", "-Cam/other."}
            << QStringList{"Cam", "Cam/example.com."} << 5 << 0;
        QTest::newRow("more-coming batch signals once at its end")
            << QStringList{"+Lumetra-5*", "+Cam*", "-Lumetra-5*", "+Printer"}
            << QStringList{"Cam", "Printer"} << 1 << 0;
        QTest::newRow("batch ended by an error: no list signal, later replies served")
            << QStringList{"+Lumetra-5*", "!", "+Cam"} << QStringList{"Lumetra-5", "Cam"} << 1 << 1;
    }

    void browseReplies()
    {
        QFETCH(QStringList, replies);
        QFETCH(QStringList, records);
        QFETCH(int, listSignals);
        QFETCH(int, errors);
        BonjourServiceBrowser browser(nullptr);
        QSignalSpy lists(&browser, &BonjourServiceBrowser::currentBonjourRecordsChanged);
        QSignalSpy errorSpy(&browser, &BonjourServiceBrowser::error);
        for (const QString &reply : std::as_const(replies))
            deliver(browser, reply);
        QCOMPARE(shown(browser.records()), records);
        QCOMPARE(lists.count(), listSignals);
        QCOMPARE(shown(lists.last().first().value<QList<BonjourRecord>>()), records);
        QCOMPARE(errorSpy.count(), errors);
    }

    // The environment is the programs' mains' to set, before any thread exists.
    void failedStartsLeaveTheEnvironmentAlone()
    {
        const QStringList environment = QProcessEnvironment::systemEnvironment().toStringList();
        BonjourServiceBrowser browser(nullptr);
        QSignalSpy errors(&browser, &BonjourServiceBrowser::error);
        browser.browseForServiceType(QStringLiteral("_http._tcp"));
        QVERIFY(!browser.isBrowsing());
        BonjourServiceResolver resolver;
        QSignalSpy resolveErrors(&resolver, &BonjourServiceResolver::error);
        QSignalSpy reports(&resolver, &BonjourServiceResolver::bonjourRecordResolved);
        const BonjourRecord cam("Cam", "_http._tcp.", "local.");
        resolver.resolveBonjourRecord(cam);
        QVERIFY(!resolver.isResolving());
        // Nothing runs, so a second start is tried again instead of being refused.
        resolver.resolveBonjourRecord(cam);
        deliver(resolver, nullptr, kDNSServiceErr_Unknown);
        QCOMPARE(errors.count() + resolveErrors.count(), 4);
        QCOMPARE(resolveErrors.last().first().toInt(), int(kDNSServiceErr_Unknown));
        QCOMPARE(reports.count(), 0);
        QCOMPARE(QProcessEnvironment::systemEnvironment().toStringList(), environment);
    }

    void everyReplyLooksUpTheHost_data()
    {
        QTest::addColumn<QByteArray>("hosttarget");
        QTest::addColumn<QString>("address"); // one of the addresses found; empty: none at all
        QTest::newRow("last character cut even without a dot")
            << QByteArray("127.0.0.12") << "127.0.0.1";
        QTest::newRow("host name, closing dot cut") << QByteArray("localhost.") << "127.0.0.1";
        QTest::newRow("null target: nothing to look up") << QByteArray() << QString();
    }

    void everyReplyLooksUpTheHost()
    {
        QFETCH(QByteArray, hosttarget);
        QFETCH(QString, address);
        BonjourServiceResolver resolver;
        QList<QHostInfo> reports;
        connect(&resolver, &BonjourServiceResolver::bonjourRecordResolved, this,
                [&reports](const QString &, QHostInfo &info) { reports << info; });
        // The resolve keeps running after a report: each reply is reported again, with a debug
        // line for the target as received and one for each address found.
        for (int i = 0; i < 2; ++i) {
            const QString received = "Received hosttarget " + QString::fromUtf8(hosttarget);
            QTest::ignoreMessage(QtDebugMsg, qPrintable(received));
            if (!address.isEmpty())
                QTest::ignoreMessage(QtDebugMsg, qPrintable('"' + address + "\" Was detected"));
            deliver(resolver, hosttarget.isNull() ? nullptr : hosttarget.constData());
        }
        QCOMPARE(reports.size(), 2);
        QCOMPARE(reports.first().addresses().isEmpty(), address.isEmpty());
        QVERIFY(address.isEmpty() || reports.first().addresses().contains(QHostAddress(address)));
    }

    void scanPageListsBrandedHostsOnce_data()
    {
        QTest::addColumn<QStringList>("reports"); // "service name@host name"
        QTest::addColumn<QStringList>("devices");
        QTest::newRow("brand word anywhere, any case, in order of arrival, % stays literal")
            << QStringList{"my lUMETRA cam@z.local", "xxDOVRELxx %2 %1@a.local"}
            << QStringList{"my lUMETRA cam@z.local", "xxDOVRELxx %2 %1@a.local"};
        QTest::newRow("no brand word or no host: not listed")
            << QStringList{"Office Printer@printer.local", "Nomo 0123@cam.local",
                           "Dovrel Nomo 0123@"}
            << QStringList{};
        QTest::newRow("repeats and case variants listed once, the same name on two hosts twice")
            << QStringList{"Dovrel Nomo 0123@cam.local", "dovrel nomo 0123@cam.local",
                           "Dovrel Nomo 0123@CAM.LOCAL", "Dovrel Nomo 0123@b"}
            << QStringList{"Dovrel Nomo 0123@cam.local", "Dovrel Nomo 0123@b"};
    }

    void scanPageListsBrandedHostsOnce()
    {
        QFETCH(QStringList, reports);
        QFETCH(QStringList, devices);
        QCOMPARE(TabScanNetwork::scanDuration(), 10000);
        TabScanNetwork page(nullptr, 1);
        auto *status = page.findChild<QLabel *>(QStringLiteral("statusLabel"));
        QCOMPARE(status->text(), QString());
        QCOMPARE(page.findChild<QPushButton *>()->text(), QStringLiteral("Continue to Next Step"));
        // Every arrival at the page starts from zero, and finds the same cameras again.
        for (int round = 0; round < 2; ++round) {
            page.ClearDevices();
            QCOMPARE(status->text(), QStringLiteral("Scanning the network for Lumetra devices ... "
                                                    ",0 Lumetra devices have been detected."));
            for (const QString &report : std::as_const(reports)) {
                QHostInfo info;
                info.setHostName(report.section('@', 1));
                page.RecordResolved(report.section('@', 0, 0), info);
            }
            QCOMPARE(page.devices(), devices);
            QCOMPARE(status->text(), QStringLiteral("Scanning the network for Lumetra devices ... "
                                                    ",%1 Lumetra devices have been detected.")
                                         .arg(devices.size()));
        }
        // Resolves that fail at once release their resolvers.
        const int resolvers = BonjourServiceResolver::instanceCount();
        page.updateRecords({{"Dovrel Nomo 0123", "_http._tcp.", "local."}});
        QCOMPARE(page.pendingResolverCount(), 0);
        QTRY_COMPARE(BonjourServiceResolver::instanceCount(), resolvers);
    }

    void extractNameAndIp_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ip");
        const auto row = [](const char *tag, const char *entry, const char *name, const char *ip) {
            QTest::newRow(tag) << entry << name << ip;
        };
        row("underscores", "Dovrel_Nomo_0123@h", "Lumetra IP Camera0123", "h");
        row("model test ignores case, pattern does not", "Dovrel nomo 7@h",
            "Lumetra IP Cameranomo 7", "h");
        row("only one leading blank removed", "Dovrel  Nomo 1@h", "Lumetra IP Camera Nomo 1", "h");
        row("maker anywhere", "Nomo Dovrel 3@h", "Lumetra IP Camera  3", "h");
        row("maker in lower case stays", "dovrel Nomo 4@h", "Lumetra IP Cameradovrel Nomo 4", "h");
        row("name holding an @", "Cam@era@host.local", "Cam", "era");
        row("no @: empty host", "Dovrel Nomo 0123", "Lumetra IP Camera 0123", "");
    }

    void extractNameAndIp()
    {
        QFETCH(QString, entry);
        QFETCH(QString, name);
        QFETCH(QString, ip);
        QString gotName = QStringLiteral("stale"), gotIp = QStringLiteral("stale");
        ::extractNameAndIp(entry, gotName, gotIp);
        QCOMPARE(gotName, name);
        QCOMPARE(gotIp, ip);
    }

    void devicePageOffersTheListInOrder()
    {
        auto page = std::make_unique<TabConfigureOneNomo>(nullptr, 2);
        QSignalSpy moves(page.get(), &TabConfigureOneNomo::MoveWidgetSignal);
        QCOMPARE(page->findChildren<QLabel *>(Qt::FindDirectChildrenOnly).at(0)->text(),
                 "<html ><body>The following Lumetra devices have been found on the network.<br/>"
                 "  Please select the one you want to set up.  <br/>If there are multiple devices, "
                 "set up one at a time. </body></html>");
        QCOMPARE(page->rescanButton()->text() + '|' + page->continueButton()->text(),
                 "Re-Scan|Continue");
        QVERIFY(page->continueButton()->isDefault());
        const QStringList devices{"Lumetra-5@b", "Dovrel Nomo 0123@a", "Dovrel_Nomo 0123@c"};
        const QStringList shown{"Lumetra-5", "Lumetra IP Camera 0123", "Lumetra IP Camera 0123"};
        // The second round is a new scan's list: the earlier choice stays stored, but only a new
        // choice enables Continue.
        for (int round = 0; round < 2; ++round) {
            page->setDevices(round == 0 ? QStringList() : devices);
            QVERIFY(!page->continueButton()->isEnabled());
            QCOMPARE(page->selectedDevice(), round == 0 ? "" : "a");
            page->setDevices(devices);
            QCOMPARE(shownChoice(*page), shown);
            QCOMPARE(page->findChild<QScrollArea *>()->widget()->findChildren<QRadioButton *>(),
                     page->choiceButtons());
            QVERIFY(!page->continueButton()->isEnabled());
            // Two cameras of the same display name: each is chosen by its own host.
            for (int i : {2, 0, 1}) {
                page->choiceButtons().at(i)->click();
                QCOMPARE(shownChoice(*page).at(i), shown.at(i) + "*");
                QCOMPARE(page->selectedDevice(), devices.at(i).section('@', 1));
                QVERIFY(page->continueButton()->isEnabled());
            }
            // Cleared, and the choice deleted: nothing may reach it again.
            page->ClearDevices();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QVERIFY(page->choiceButtons().isEmpty());
            QVERIFY(!page->findChild<QScrollArea *>()->widget());
        }
        page->rescanButton()->click();
        page->continueButton()->click();
        QCOMPARE(QList<QVariantList>(moves), (QList<QVariantList>{{0}, {2}}));
        // Cleared twice, the second time by the destructor before the event loop turns.
        page->setDevices(devices);
        page->ClearDevices();
        page.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void deadSearchNoticeOnlyWithAnEmptyList()
    {
        TabConfigureOneNomo page(nullptr, 2);
        page.setProblem(DiscoveryProblem::fromError(kDNSServiceErr_Unknown, true));
        page.setDevices({QStringLiteral("Dovrel Nomo 0123@nomocam.local")});
        QVERIFY(page.findChild<QLabel *>(QStringLiteral("noticeLabel"))->text().isEmpty());
    }

    void enteredAddressBecomesTheChoice_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("message"); // empty: accepted
        QTest::newRow("IPv4 address") << QStringLiteral("192.168.1.20") << QString();
        QTest::newRow("host name") << QStringLiteral("nomo-0123.local") << QString();
        QTest::newRow("empty") << QString() << QStringLiteral("Please enter the camera's address.");
        QTest::newRow("trailing blank")
            << QStringLiteral("nomocam ") << QStringLiteral("The address must not contain blanks.");
        QTest::newRow("at sign") << QStringLiteral("admin@nomocam")
                                 << QStringLiteral("The address must not contain \"@\".");
        QTest::newRow("port") << QStringLiteral("192.168.1.20:443")
                              << QStringLiteral("The address must not contain \":\" (no port).");
        QTest::newRow("IPv6 in brackets")
            << QStringLiteral("[2001:db8::7]")
            << QStringLiteral("IPv6 addresses are not supported: please enter an IPv4 address.");
        QTest::newRow("IPv4 out of range")
            << QStringLiteral("192.168.1.300")
            << QStringLiteral("\"192.168.1.300\" is not a valid IPv4 address.");
        QTest::newRow("URL")
            << QStringLiteral("nomocam/WifiConfig")
            << QStringLiteral("\"nomocam/WifiConfig\" is not a valid host name or IPv4 address.");
    }

    void enteredAddressBecomesTheChoice()
    {
        QFETCH(QString, entry);
        QFETCH(QString, message);
        const QString found = QStringLiteral("Dovrel Nomo 0123@nomocam.local");
        TabConfigureOneNomo page(nullptr, 2);
        page.setDevices({found});
        page.show();

        ModalDialogHandler modal;
        modal.expect([entry](QWidget *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Lumetra - Wi-Fi Setup Tool"));
            QTest::keyClicks(dialog->findChild<QLineEdit *>(QStringLiteral("addressEdit")), entry);
            // From the event loop: the press may open a message box of its own.
            QMetaObject::invokeMethod(
                dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok),
                &QAbstractButton::click, Qt::QueuedConnection);
        });
        if (!message.isEmpty()) {
            modal.expect([message](QWidget *box) {
                QCOMPARE(qobject_cast<QMessageBox *>(box)->text(), message);
                ModalDialogHandler::clickButton(box, QMessageBox::Ok);
            });
            // Still open, the entry as typed.
            modal.expect([entry](QWidget *dialog) {
                QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("addressEdit"))->text(),
                         entry);
                QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            });
        }
        page.addressButton()->click();
        QCOMPARE(modal.handled(), message.isEmpty() ? 1 : 3);
        QCOMPARE(page.choiceButtons().size(), message.isEmpty() ? 2 : 1);
        QCOMPARE(page.continueButton()->isEnabled(), message.isEmpty());
        if (!message.isEmpty())
            return;
        QCOMPARE(page.choiceButtons().last()->text(), entry);
        QCOMPARE(page.selectedDevice(), entry);
        // A new scan's list replaces it like every other choice.
        page.setDevices({found});
        QCOMPARE(page.choiceButtons().size(), 1);
        QVERIFY(!page.continueButton()->isEnabled());
    }
};

QTEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
