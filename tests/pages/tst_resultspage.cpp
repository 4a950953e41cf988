#include "pages/tabcommunicationresults.h"

#include "pagetesthelpers.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

struct PageParts
{
    QLabel *background = nullptr;
    QLabel *text = nullptr;
    QPushButton *exitButton = nullptr;
    QPushButton *returnButton = nullptr;
};

PageParts partsOf(TabCommunicationResults &page)
{
    PageParts p;
    p.background = page.findChild<QLabel *>(QStringLiteral("backgroundLabel"));
    p.text = page.findChild<QLabel *>(QStringLiteral("textLabel"));
    p.exitButton = qobject_cast<QPushButton *>(buttonWithText(&page, QStringLiteral("Exit")));
    p.returnButton =
        qobject_cast<QPushButton *>(buttonWithText(&page, QStringLiteral("Return to Wi-Fi Setup")));
    return p;
}

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
    void cleanup();

    void htmlTemplateIsVerbatim_data();
    void htmlTemplateIsVerbatim();
    void downloadAddressComesFromTheBuild();
    void freshPageLayout();
    void messageForEveryOutcome_data();
    void messageForEveryOutcome();
    void successHidesReturnForGood();
    void returnClearsAndAsksForTheScan();
    void downloadLinkOpensBrowser();
    void exitQuitsAtOnce();
};

void TestResultsPage::cleanup()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows)
        QVERIFY2(!w->isVisible(), qPrintable(w->windowTitle()));
}

void TestResultsPage::htmlTemplateIsVerbatim_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("html");
    QTest::newRow("plain") << "Hello"
                           << "black"
                           << "<html ><font  Color=\"black\"><body>Hello</body></html>";
    QTest::newRow("empty text") << ""
                                << "red"
                                << "<html ><font  Color=\"red\"><body></body></html>";
    QTest::newRow("percent signs in text stay")
        << "100% %1 done"
        << "#EA7E1D"
        << "<html ><font  Color=\"#EA7E1D\"><body>100% %1 done</body></html>";
}

void TestResultsPage::htmlTemplateIsVerbatim()
{
    QFETCH(QString, text);
    QFETCH(QString, colour);
    QFETCH(QString, html);
    QCOMPARE(getHtmlString(text, colour), html);
}

void TestResultsPage::downloadAddressComesFromTheBuild()
{
    QCOMPARE(TabCommunicationResults::downloadUrl(), QStringLiteral(NOMO_DOWNLOAD_URL));
    QVERIFY(QUrl(TabCommunicationResults::downloadUrl()).isValid());
}

void TestResultsPage::freshPageLayout()
{
    TabCommunicationResults page(nullptr, 4);
    const PageParts p = partsOf(page);
    QVERIFY(p.background && p.text && p.exitButton && p.returnButton);

    auto *layout = qobject_cast<QVBoxLayout *>(page.layout());
    QVERIFY(layout);
    QCOMPARE(layout->count(), 4);
    auto *logo = qobject_cast<QLabel *>(layout->itemAt(0)->widget());
    QVERIFY(logo);
    QVERIFY(!logo->pixmap().isNull());
    QCOMPARE(logo->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
    QCOMPARE(layout->itemAt(1)->widget(), p.background);
    QCOMPARE(layout->stretch(1), 1);
    QCOMPARE(layout->itemAt(1)->alignment(), Qt::AlignHCenter);
    QCOMPARE(p.background->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(p.background->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QVERIFY(!p.background->pixmap().isNull()); // preloaded with the background artwork
    QCOMPARE(layout->itemAt(2)->widget(), p.text);
    auto *box = qobject_cast<QDialogButtonBox *>(layout->itemAt(3)->widget());
    QVERIFY(box);
    QCOMPARE(box->buttons(), (QList<QAbstractButton *>{p.exitButton, p.returnButton}));
    QCOMPARE(box->buttonRole(p.exitButton), QDialogButtonBox::ActionRole);
    QCOMPARE(box->buttonRole(p.returnButton), QDialogButtonBox::ActionRole);
    QCOMPARE(p.exitButton->minimumWidth(), 100);

    QVERIFY(p.text->text().isEmpty());
    QVERIFY(!p.text->wordWrap());
    QCOMPARE(p.text->textFormat(), Qt::AutoText);
    QVERIFY(!p.text->openExternalLinks());
    QVERIFY(!p.background->isVisibleTo(&page));
    QVERIFY(p.exitButton->isVisibleTo(&page));
    QVERIFY(p.returnButton->isVisibleTo(&page));
}

void TestResultsPage::messageForEveryOutcome_data()
{
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("success");

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
                   QStringLiteral("</b></a> to download the latest version. <br/><br/> "))
        << false;
    QTest::newRow("1 failed") << 1 << failed << false;
    QTest::newRow("2 success")
        << 2
        << wrapped(QStringLiteral(
               "The Lumetra device is now connected to the wireless network. <br/>Click "
               "<b>''Exit''</b> to finish. To install Lumetra, refer to Lumetra Installation "
               "Guide.<br/>."))
        << true;
    QTest::newRow("3 error reported") << 3 << failed << false;
    QTest::newRow("4 cancelled")
        << 4
        << wrapped(QStringLiteral(
               "Are you sure you want to exit the Lumetra Wi-Fi Setup?  <br/> To set up or "
               "update the WiFi settings, click the <b>''Return to Wi-Fi Setup''</b> button. "
               "<br/><br/> For troubleshooting information, refer to the Lumetra Installation "
               "Guide. "))
        << false;
    QTest::newRow("5 no internet")
        << 5
        << wrapped(QStringLiteral(
               "The Lumetra device cannot connect to the Internet. <br/> Please check the router "
               "and firewall to verify ports 123, 80, and 443 are open and then click the "
               "<br/><b>''Return to Wi-Fi Setup''</b> button to try again. <br/><br/>For "
               "troubleshooting information, refer to the Lumetra Installation Guide."))
        << false;
    QTest::newRow("6 no reply")
        << 6
        << wrapped(QStringLiteral(
               "The Lumetra Wi-Fi setup cannot be completed at this time.<br/></br>For "
               "troubleshooting information, refer to the Lumetra Installation Guide."))
        << false;
    QTest::newRow("7 unused value") << 7 << QString() << false;
    QTest::newRow("8 error 503") << 8 << QString() << false;
    QTest::newRow("9 wifi unavailable")
        << 9
        << wrapped(QStringLiteral(
               "Wi-Fi unavailable.  Please check hardware and network settings. <br/><br/> For "
               "troubleshooting information, refer to the Lumetra Installation Guide."))
        << false;
    QTest::newRow("10 out of range") << 10 << QString() << false;
    QTest::newRow("-1 out of range") << -1 << QString() << false;
}

void TestResultsPage::messageForEveryOutcome()
{
    QFETCH(int, outcome);
    QFETCH(QString, text);
    QFETCH(bool, success);

    for (bool withImage : {false, true}) {
        TabCommunicationResults page(nullptr, 4);
        const PageParts p = partsOf(page);
        const QPixmap image = withImage ? sampleImage() : QPixmap();
        page.setTextAndImage(enmComResult(outcome), image);

        QCOMPARE(p.text->text(), text);
        // The picture label always holds the delivered image (the artwork is gone from it) and
        // shows it only after a success.
        QCOMPARE(p.background->pixmap().isNull(), !withImage);
        if (withImage)
            QCOMPARE(p.background->pixmap().toImage(), image.toImage());
        QCOMPARE(p.background->isVisibleTo(&page), success);
        QCOMPARE(p.returnButton->isVisibleTo(&page), !success);
        QVERIFY(p.exitButton->isVisibleTo(&page));
    }
}

void TestResultsPage::successHidesReturnForGood()
{
    TabCommunicationResults page(nullptr, 4);
    const PageParts p = partsOf(page);
    page.setTextAndImage(ComResultSuccess, QPixmap());
    QVERIFY(!p.returnButton->isVisibleTo(&page));
    // Later outcomes do not bring it back.
    for (enmComResult later : {ComResultFailed, ComResultCancelled, ComResultNoReply}) {
        page.setTextAndImage(later, QPixmap());
        QVERIFY(!p.returnButton->isVisibleTo(&page));
    }
}

void TestResultsPage::returnClearsAndAsksForTheScan()
{
    TabCommunicationResults page(nullptr, 4);
    const PageParts p = partsOf(page);
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
    const PageParts p = partsOf(page);
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
    QCOMPARE(p.text->text().isEmpty(), false);
    page.hide();
}

void TestResultsPage::exitQuitsAtOnce()
{
    TabCommunicationResults page(nullptr, 4);
    const PageParts p = partsOf(page);
    page.setTextAndImage(ComResultCancelled, QPixmap());
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QTimer::singleShot(0, p.exitButton, &QPushButton::click);
    // A question (a modal box) would hold the loop until this fallback ends it with 42.
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(42); });
    QCOMPARE(QCoreApplication::exec(), 0);
    page.hide();
}

QTEST_MAIN(TestResultsPage)
#include "tst_resultspage.moc"
