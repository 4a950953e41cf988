#include "discovery/discoveryproblem.h"
#include "discovery/tabconfigureonenomo.h"

#include "modaldialoghandler.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

// The device page's dialog for a camera that the search did not list: what it takes, what it
// refuses and why; and the page's notice of a dead search, which only explains an empty list.
class TestTabCameraAddress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
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
                QCOMPARE(ModalDialogHandler::messageBox(box)->text(), message);
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

QTEST_MAIN(TestTabCameraAddress)
#include "tst_tabcameraaddress.moc"
