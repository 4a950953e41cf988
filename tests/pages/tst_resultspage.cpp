#include "pages/tabcommunicationresults.h"

#include "pagetesthelpers.h"

#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>

namespace {

struct Parts
{
    explicit Parts(TabCommunicationResults &page)
        : background(page.findChild<QLabel *>(QStringLiteral("backgroundLabel"))),
          text(page.findChild<QLabel *>(QStringLiteral("textLabel"))),
          exitButton(buttonWithText(&page, QStringLiteral("Exit"))),
          returnButton(buttonWithText(&page, QStringLiteral("Return to Wi-Fi Setup")))
    {}
    QLabel *background, *text;
    QAbstractButton *exitButton, *returnButton;
};

QString wrapped(const QString &message)
{
    return QStringLiteral("<html ><font  Color=\"black\"><body>") + message +
           QStringLiteral("</body></html>");
}

QPixmap sampleImage()
{
    QPixmap image(40, 30);
    image.fill(Qt::darkCyan);
    return image;
}

} // namespace

class TestResultsPage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { verifyNoWindowOpen(); }

    void freshPage();
    void messageForEveryOutcome_data();
    void messageForEveryOutcome();
    void returnClearsAndAsksForTheScan();
    void downloadLinkOpensBrowser();
    void exitQuitsAtOnce();
};

void TestResultsPage::freshPage()
{
    QCOMPARE(getHtmlString(QStringLiteral("100% %1 done"), QStringLiteral("#EA7E1D")),
             QStringLiteral("<html ><font  Color=\"#EA7E1D\"><body>100% %1 done</body></html>"));

    TabCommunicationResults page(nullptr, 4);
    const Parts p(page);
    // Logo, background artwork (hidden), empty text, buttons.
    QCOMPARE(describe(page.layout()),
             (QStringList{"[picture]", "[picture]", "", "(Exit)", "(Return to Wi-Fi Setup)"}));
    QVERIFY(!p.text->wordWrap());
    QVERIFY(!p.background->isVisibleTo(&page));
    QVERIFY(p.exitButton->isVisibleTo(&page));
    QVERIFY(p.returnButton->isVisibleTo(&page));
}

void TestResultsPage::messageForEveryOutcome_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");

    const QString failed = wrapped(QStringLiteral(
        "The Lumetra Wi-Fi setup could not be completed.  Click the <b>''Return to Wi-Fi "
        "Setup''</b> button to try again. <br/><br/> For troubleshooting information, refer to "
        "the Lumetra Installation Guide."));
    const QString url = QStringLiteral(NOMO_DOWNLOAD_URL);

    QTest::newRow("0 version not current")
        << 0
        << wrapped(QStringLiteral("This version of the Lumetra - WiFi Setup Tool is not current. "
                                  "<br/> Click <b>''Exit''</b> and go to <a href=\"") +
                   url + QStringLiteral("\" target=\"_blank\"><b>") + url +
                   QStringLiteral("</b></a> to download the latest version. <br/><br/> "));
    QTest::newRow("1 failed") << 1 << failed;
    QTest::newRow("2 success")
        << 2
        << wrapped(QStringLiteral(
               "The Lumetra device is now connected to the wireless network. <br/>Click "
               "<b>''Exit''</b> to finish. To install Lumetra, refer to Lumetra Installation "
               "Guide.<br/>."));
    QTest::newRow("3 error reported") << 3 << failed;
    QTest::newRow("4 cancelled")
        << 4
        << wrapped(QStringLiteral(
               "Are you sure you want to exit the Lumetra Wi-Fi Setup?  <br/> To set up or "
               "update the WiFi settings, click the <b>''Return to Wi-Fi Setup''</b> button. "
               "<br/><br/> For troubleshooting information, refer to the Lumetra Installation "
               "Guide. "));
    QTest::newRow("5 no internet")
        << 5
        << wrapped(QStringLiteral(
               "The Lumetra device cannot connect to the Internet. <br/> Please check the router "
               "and firewall to verify ports 123, 80, and 443 are open and then click the "
               "<br/><b>''Return to Wi-Fi Setup''</b> button to try again. <br/><br/>For "
               "troubleshooting information, refer to the Lumetra Installation Guide."));
    QTest::newRow("6 no reply")
        << 6
        << wrapped(QStringLiteral(
               "The Lumetra Wi-Fi setup cannot be completed at this time.<br/></br>For "
               "troubleshooting information, refer to the Lumetra Installation Guide."));
    QTest::newRow("7 unused value") << 7 << QString();
    QTest::newRow("8 error 503") << 8 << QString();
    QTest::newRow("9 wifi unavailable")
        << 9
        << wrapped(QStringLiteral(
               "Wi-Fi unavailable.  Please check hardware and network settings. <br/><br/> For "
               "troubleshooting information, refer to the Lumetra Installation Guide."));
    QTest::newRow("10 out of range") << 10 << QString();
    QTest::newRow("-1 out of range") << -1 << QString();
}

void TestResultsPage::messageForEveryOutcome()
{
    QFETCH(int, outcome);
    const bool success = outcome == ComResultSuccess;

    for (bool withImage : {false, true}) {
        TabCommunicationResults page(nullptr, 4);
        const Parts p(page);
        const QPixmap image = withImage ? sampleImage() : QPixmap();
        page.setTextAndImage(enmComResult(outcome), image);

        QTEST(p.text->text(), "text");
        // The picture label always holds the delivered image (the artwork is gone from it) and
        // shows it only after a success.
        QCOMPARE(p.background->pixmap().toImage(), image.toImage());
        QCOMPARE(p.background->isVisibleTo(&page), success);
        QCOMPARE(p.returnButton->isVisibleTo(&page), !success);
        QVERIFY(p.exitButton->isVisibleTo(&page));
        // After a success, no later outcome brings "Return to Wi-Fi Setup" back.
        page.setTextAndImage(ComResultFailed, image);
        QCOMPARE(p.returnButton->isVisibleTo(&page), !success);
    }
}

void TestResultsPage::returnClearsAndAsksForTheScan()
{
    TabCommunicationResults page(nullptr, 4);
    const Parts p(page);
    QSignalSpy moves(&page, &TabCommunicationResults::MoveTabSignal);
    page.setTextAndImage(ComResultNoInternet, sampleImage());
    QVERIFY(!p.text->text().isEmpty());

    p.returnButton->click();
    QCOMPARE(moves.count(), 1);
    QCOMPARE(moves.at(0).at(0).toInt(), 0);
    QVERIFY(p.text->text().isEmpty());
    QVERIFY(!p.background->isVisibleTo(&page));
    QVERIFY(p.returnButton->isVisibleTo(&page));
}

void TestResultsPage::downloadLinkOpensBrowser()
{
    LinkRecorder links;
    TabCommunicationResults page(nullptr, 4);
    const Parts p(page);
    page.setTextAndImage(ComResultVersionNotCurrent, QPixmap());
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));

    // Click across the message the way a user hunts for the link; only the link reacts.
    const QRect area = p.text->contentsRect();
    for (int y = area.top() + 2; y < area.bottom() && links.urls.isEmpty(); y += 6) {
        for (int x = area.left() + 2; x < area.right() && links.urls.isEmpty(); x += 12)
            QTest::mouseClick(p.text, Qt::LeftButton, {}, QPoint(x, y));
    }
    QCOMPARE(links.urls, QList<QUrl>{QUrl(QStringLiteral(NOMO_DOWNLOAD_URL))});
    QVERIFY(!p.text->text().isEmpty());
    page.hide();
}

void TestResultsPage::exitQuitsAtOnce()
{
    TabCommunicationResults page(nullptr, 4);
    const Parts p(page);
    page.setTextAndImage(ComResultCancelled, QPixmap());
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QTimer::singleShot(0, p.exitButton, &QAbstractButton::click);
    // A question (a modal box) would hold the loop until this fallback ends it with 42.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(42); });
    QCOMPARE(QCoreApplication::exec(), 0);
    page.hide();
}

QTEST_MAIN(TestResultsPage)
#include "tst_resultspage.moc"
