#include "agent/myhttpsagent.h"
#include "app/nomowizard.h"
#include "app/wifisetuptool.h"
#include "discovery/tabconfigureonenomo.h"
#include "pages/tabchangepassword.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabwificredentials.h"

#include "a11yhelpers.h"

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QPointer>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

// Every page and dialog as a screen reader and a keyboard user meet them: each Tab stop, progress
// bar and picture has a name; a dialog opens with its first field focused, Tab walks its fields
// top to bottom and then its buttons as they stand, Shift+Tab walks back, Escape rejects it.

using DialogFactory = std::function<QDialog *(QWidget *parent)>;
Q_DECLARE_METATYPE(DialogFactory)

namespace {

QList<WIFINetworkEntry> networks(std::initializer_list<std::pair<const char *, const char *>> l)
{
    QList<WIFINetworkEntry> out;
    for (const auto &[ssid, security] : l) {
        WIFINetworkEntry entry;
        entry.ssid = QString::fromUtf8(ssid);
        entry.securityType = QString::fromUtf8(security);
        out << entry;
    }
    return out;
}

// The buttons of the dialog's button box in the order they stand on screen, as spoken.
QStringList buttonsLeftToRight(QDialog *dialog)
{
    auto *box = dialog->findChild<QDialogButtonBox *>();
    if (!box)
        return {};
    QList<QAbstractButton *> buttons;
    for (QAbstractButton *b : box->buttons()) {
        if (b->isVisibleTo(dialog))
            buttons << b;
    }
    std::sort(buttons.begin(), buttons.end(), [](QAbstractButton *a, QAbstractButton *b) {
        return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
    });
    QStringList names;
    for (QAbstractButton *b : buttons)
        names << spokenName(b);
    return names;
}

// What the keyboard user meets in one dialog, gathered while it runs modally.
struct DialogWalk
{
    QString firstFocus;
    QString firstDescription;
    QStringList tabCycle;
    QStringList backCycle;
    QStringList unnamed;
    QStringList buttons;
    bool walked = false;
};

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wizardPagesNameTheirControls_data();
    void wizardPagesNameTheirControls();
    void dialogsByKeyboard_data();
    void dialogsByKeyboard();
    void windowIconOffersDesktopSizes();
};

void TestAccessibility::wizardPagesNameTheirControls_data()
{
    QTest::addColumn<int>("page");
    QTest::newRow("welcome") << 0;
    QTest::newRow("scan") << 1;
    QTest::newRow("devices") << 2;
    QTest::newRow("communication") << 3;
    QTest::newRow("results") << 4;
}

void TestAccessibility::wizardPagesNameTheirControls()
{
    QFETCH(int, page);
    NomoWizard wizard(nullptr);
    // The pages as they look with content: two cameras to choose, a success with its picture.
    wizard.devicePage()->setDevices(
        {QStringLiteral("Dovrel Nomo 0001@host-a"), QStringLiteral("Dovrel Nomo 0002@host-b")});
    QPixmap picture(64, 48);
    picture.fill(Qt::gray);
    wizard.resultsPage()->setTextAndImage(ComResultSuccess, picture);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));

    QWidget *pageWidget = wizard.pageStack()->widget(page);
    const QStringList unnamed = unnamedControls(pageWidget);
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    // The check looks at something: every page shows at least its logo.
    QVERIFY(!pageWidget->findChildren<QLabel *>().isEmpty());
}

void TestAccessibility::dialogsByKeyboard_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QStringList>("fields");
    // What a screen reader adds about the first field; empty where the dialog has nothing to add.
    QTest::addColumn<QString>("description");

    const QString password = QStringLiteral("Wi-Fi setup password");
    const QString change = QStringLiteral("Change password");
    const QString newPassword = QStringLiteral("New password");
    const QString confirm = QStringLiteral("Confirm new password");
    const QString ssid = QStringLiteral("Wireless network name (SSID)");
    const QString key = QStringLiteral("Wireless network key (password)");
    const QString keyType = QStringLiteral("Wireless network key type");

    const auto passwordDialog = [](const QString &prompt) {
        return DialogFactory(
            [prompt](QWidget *p) -> QDialog * { return new TabDeviceauthentication(prompt, p); });
    };
    const auto changeDialog = [](const QString &current) {
        return DialogFactory(
            [current](QWidget *p) -> QDialog * { return new TabChangePassword(p, current); });
    };
    const auto wifiDialog = [](const QList<WIFINetworkEntry> &list) {
        return DialogFactory(
            [list](QWidget *p) -> QDialog * { return new TabWifiCredentials(p, list, nullptr); });
    };

    const QString first = QStringLiteral("Enter the Lumetra - Wi-Fi setup password");
    const QString retry = QStringLiteral("Incorrect password.  Please try again.");
    const QString linked = QStringLiteral(
        "<html><body>Forgot it? See <a href=\"https://example.com/reset\">the guide</a>.</body>"
        "</html>");
    QTest::newRow("password") << passwordDialog(first) << QStringList{password, change} << first;
    QTest::newRow("password retry")
        << passwordDialog(retry) << QStringList{password, change} << retry;
    QTest::newRow("password prompt with a link")
        << passwordDialog(linked) << QStringList{password, change}
        << QStringLiteral("Forgot it? See the guide.");
    QTest::newRow("create password") << changeDialog(QString()) << QStringList{newPassword, confirm}
                                     << QStringLiteral("At least 4 characters");
    // The old password is shown but cannot be edited, so it is no Tab stop.
    QTest::newRow("change password")
        << changeDialog(QStringLiteral("Nomo-1234")) << QStringList{newPassword, confirm}
        << QStringLiteral("At least 4 characters");
    QTest::newRow("wifi") << wifiDialog(networks({{"HomeNet", "WPA2-AES"}, {"Old", "WEP"}}))
                          << QStringList{ssid, key, keyType} << QString();
    QTest::newRow("wifi WEP shows hex box")
        << wifiDialog(networks({{"Old", "WEP"}}))
        << QStringList{ssid, key, keyType, QStringLiteral("Hex Key  ")} << QString();
    QTest::newRow("wifi without networks")
        << wifiDialog({}) << QStringList{ssid, key, keyType} << QString();
}

void TestAccessibility::dialogsByKeyboard()
{
    QFETCH(DialogFactory, make);
    QFETCH(QStringList, fields);
    QFETCH(QString, description);

    QWidget page; // the communication page the dialogs are built on
    page.resize(400, 300);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    std::unique_ptr<QDialog> dialog(make(&page));

    DialogWalk walk;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, dialog.get(), [&] {
        QWidget *focus = QApplication::focusWidget();
        if (walk.walked || !dialog->isActiveWindow() || !focus || focus->window() != dialog.get())
            return;
        walk.walked = true;
        walk.firstFocus = spokenName(focus);
        walk.firstDescription = focus->accessibleDescription();
        walk.unnamed = unnamedControls(dialog.get());
        walk.buttons = buttonsLeftToRight(dialog.get());
        // Round the Tab chain until it is back at the start (bounded, in case it never is).
        for (int i = 0; i < 20; ++i) {
            walk.tabCycle << spokenName(QApplication::focusWidget());
            pressKey(Qt::Key_Tab);
            if (QApplication::focusWidget() == focus)
                break;
        }
        for (int i = 0; i < 20; ++i) {
            pressKey(Qt::Key_Backtab, Qt::ShiftModifier);
            walk.backCycle.prepend(spokenName(QApplication::focusWidget()));
            if (QApplication::focusWidget() == focus)
                break;
        }
        pressKey(Qt::Key_Escape);
    });
    poll.start(10);
    // Should Escape not reject, the dialog must still end.
    QTimer::singleShot(20000, dialog.get(), &QDialog::accept);

    const int result = dialog->exec();
    QVERIFY(walk.walked);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(walk.firstFocus, fields.first());
    if (!description.isEmpty())
        QCOMPARE(walk.firstDescription, description);
    QVERIFY2(walk.unnamed.isEmpty(), qPrintable(walk.unnamed.join(QStringLiteral(", "))));
    QVERIFY(!walk.buttons.isEmpty());
    QCOMPARE(walk.tabCycle, fields + walk.buttons);
    QCOMPARE(walk.backCycle, walk.tabCycle);
}

void TestAccessibility::windowIconOffersDesktopSizes()
{
    // The icon file of the program's folder, where users start it from.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::copy(QStringLiteral(NOMO_ICON_FILE), dir.filePath("favicon_lm.ico")));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    applyWifiSetupLook(*qApp);
    QDir::setCurrent(previous);

    const QList<QSize> sizes = QApplication::windowIcon().availableSizes();
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        QVERIFY2(sizes.contains(QSize(side, side)), qPrintable(QString::number(side)));
    // Sharp at every size: each is drawn for its size, not scaled from another.
    QImageReader reader(QStringLiteral(NOMO_ICON_FILE));
    QCOMPARE(reader.imageCount(), 7);
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
