#include "app/nomowizard.h"
#include "app/tabwelcome.h"
#include "discovery/tabconfigureonenomo.h"
#include "discovery/tabscannetwork.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabnomocommunication.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

namespace {

// Navigation alone: the page work that arriving at a page starts (a scan, a camera session) is
// covered by the road tests, which have a network and a camera to do it with.
void detachPageWork(NomoWizard &wizard)
{
    QObject::disconnect(wizard.pageStack(), &QStackedWidget::currentChanged, &wizard,
                        &NomoWizard::OnCurrentWidgetChanged);
}

} // namespace

class TestWizard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void startsOnWelcomePage();
    void escapeNeitherClosesNorMoves();
    void moveValueChoosesPage_data();
    void moveValueChoosesPage();
    void welcomeTextsAreVerbatim();
    void startAsksForPageOne();
    void compiledInImagesLoad_data();
    void compiledInImagesLoad();
};

void TestWizard::startsOnWelcomePage()
{
    NomoWizard wizard(nullptr);
    QStackedWidget *stack = wizard.pageStack();
    QCOMPARE(stack->count(), 5);
    QCOMPARE(wizard.currentPageIndex(), 0);
    QCOMPARE(stack->widget(0), wizard.welcomePage());
    QCOMPARE(stack->widget(1), wizard.scanPage());
    QCOMPARE(stack->widget(2), wizard.devicePage());
    QCOMPARE(stack->widget(3), wizard.communicationPage());
    QCOMPARE(stack->widget(4), wizard.resultsPage());
    // Nothing was started for page 0.
    QVERIFY(!wizard.scanPage()->isScanning());
    QVERIFY(wizard.scanPage()->devices().isEmpty());
}

void TestWizard::escapeNeitherClosesNorMoves()
{
    NomoWizard wizard(nullptr);
    detachPageWork(wizard);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.MoveWidgetSlot(0);
    QCOMPARE(wizard.currentPageIndex(), 1);

    QSignalSpy rejected(&wizard, &QDialog::rejected);
    QTest::keyClick(&wizard, Qt::Key_Escape);
    QTest::keyClick(wizard.pageStack()->currentWidget(), Qt::Key_Escape);
    QCOMPARE(rejected.count(), 0);
    QVERIFY(wizard.isVisible());
    QCOMPARE(wizard.currentPageIndex(), 1);
}

void TestWizard::moveValueChoosesPage_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("page");
    QTest::newRow("start or return to setup") << 0 << 1;
    QTest::newRow("scan done") << 1 << 2;
    QTest::newRow("device chosen") << 2 << 3;
    QTest::newRow("session over") << 3 << 4;
    QTest::newRow("four") << 4 << 2;
    QTest::newRow("above four") << 7 << 2;
    QTest::newRow("far above four") << 1000 << 2;
}

void TestWizard::moveValueChoosesPage()
{
    QFETCH(int, value);
    QFETCH(int, page);
    NomoWizard wizard(nullptr);
    detachPageWork(wizard);
    wizard.MoveWidgetSlot(value);
    QCOMPARE(wizard.currentPageIndex(), page);
}

void TestWizard::welcomeTextsAreVerbatim()
{
    TabWelcome page(nullptr, 0);
    const QList<QLabel *> labels = page.findChildren<QLabel *>();
    QCOMPARE(labels.size(), 2);
    const QString intro =
        QStringLiteral("<html ><body><p>Welcome to the Lumetra") + QChar(0xAE) +
        QStringLiteral(" - Wi-Fi Setup Tool. <br/>Simply follow the instructions on each screen to "
                       "set up Lumetra  on the wireless network. <br/> For detailed information, "
                       "refer to the Lumetra Installation Guide.<br/><br/>Before you start, make "
                       "sure the Lumetra camera is powered up and connected to the network router "
                       "by its Ethernet cable.</body></html>");
    QLabel *logo = labels.at(0);
    QLabel *text = labels.at(1);
    QVERIFY(!logo->pixmap().isNull());
    QCOMPARE(logo->alignment(), Qt::AlignCenter);
    QCOMPARE(text->text(), intro);
    QVERIFY(text->wordWrap());

    const QList<QPushButton *> buttons = page.findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 1);
    QPushButton *start = buttons.first();
    QCOMPARE(start->text(), QStringLiteral("Start"));
    QCOMPARE(start->minimumWidth(), 100);
    QVERIFY(start->isDefault());
    auto *box = page.findChild<QDialogButtonBox *>();
    QVERIFY(box);
    QCOMPARE(box->buttonRole(start), QDialogButtonBox::ActionRole);
}

void TestWizard::startAsksForPageOne()
{
    NomoWizard wizard(nullptr);
    detachPageWork(wizard);
    QSignalSpy moves(wizard.welcomePage(), &TabWelcome::MoveTabSignal);
    wizard.welcomePage()->findChild<QPushButton *>()->click();
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.first().first().toInt(), 0);
    QCOMPARE(wizard.pageStack()->currentWidget(), wizard.scanPage());
}

void TestWizard::compiledInImagesLoad_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("welcome") << ":/images/Lumetra.png" << QSize(400, 150);
    QTest::newRow("corner mark") << ":/images/Lumetra_small.png" << QSize(120, 40);
    QTest::newRow("background") << ":/images/bkg.png" << QSize(400, 250);
}

void TestWizard::compiledInImagesLoad()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    // Registration rides on the pages' constructors; nothing in this test registers it itself.
    TabWelcome page(nullptr, 0);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
    // A sharp variant for screens with twice the pixel density.
    QString hiDpi = path;
    hiDpi.replace(QLatin1String(".png"), QLatin1String("@2x.png"));
    QCOMPARE(QImage(hiDpi).size(), size * 2);
}

QTEST_MAIN(TestWizard)
#include "tst_wizard.moc"
