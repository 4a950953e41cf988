// The wizard as keyboard and screen-reader users meet it: every page and dialog names its
// controls, and the dialogs walk their Tab stops in order. The road by keyboard is tst_road.
#include "app/nomowizard.h"
#include "discovery/tabconfigureonenomo.h"
#include "pages/tabchangepassword.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabwificredentials.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTest>

#include <memory>

using DialogFactory = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogFactory)

namespace {

// The name a screen reader gets: the one given to the widget, else the one Qt derives from its text.
QString spokenName(QWidget *w)
{
    if (!w || !w->accessibleName().isEmpty())
        return w ? w->accessibleName() : QStringLiteral("(no focus)");
    return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

// Tab stops, progress bars and pictures below `root` that a screen reader cannot name.
QStringList unnamedControls(QWidget *root)
{
    QStringList unnamed;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        const auto *label = qobject_cast<QLabel *>(w);
        const bool picture = label && label->text().isEmpty() && !label->pixmap().isNull();
        const bool tabStop = (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy();
        if (w->isVisibleTo(root) && (tabStop || qobject_cast<QProgressBar *>(w) || picture) &&
            spokenName(w).trimmed().isEmpty())
            unnamed << QString::fromLatin1(w->metaObject()->className()) + ' ' + w->objectName();
    }
    return unnamed;
}

// A key as the user types it: to the widget that has the keyboard focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wizardPagesNameTheirControls();
    void dialogsByKeyboard_data();
    void dialogsByKeyboard();
};

void TestAccessibility::wizardPagesNameTheirControls()
{
    NomoWizard wizard(nullptr);
    // The pages with content: two cameras to choose, a success with its picture.
    wizard.devicePage()->setDevices({"Dovrel Nomo 0001@host-a", "Dovrel Nomo 0002@host-b"});
    QPixmap picture(64, 48);
    picture.fill(Qt::gray);
    wizard.resultsPage()->setTextAndImage(ComResultSuccess, picture);
    QCOMPARE(wizard.pageStack()->count(), 5);
    for (int page = 0; page < 5; ++page) {
        const QStringList unnamed = unnamedControls(wizard.pageStack()->widget(page));
        QVERIFY2(unnamed.isEmpty(), qPrintable(QString::number(page) + ": " + unnamed.join(", ")));
    }
}

void TestAccessibility::dialogsByKeyboard_data()
{
    QTest::addColumn<DialogFactory>("make");
    QTest::addColumn<QStringList>("stops"); // the Tab stops from the first focus on, as spoken

    const auto password = [](const QString &prompt) {
        return DialogFactory([prompt] { return new TabDeviceauthentication(prompt, nullptr); });
    };
    const QStringList wifi = {"Wireless network name (SSID)", "Wireless network key (password)",
                              "Wireless network key type"};
    QTest::newRow("password, the plain prompt is no stop")
        << password("Enter the Lumetra - Wi-Fi setup password")
        << QStringList{"Wi-Fi setup password", "Change password", "OK", "Cancel"};
    // The old password is shown but cannot be edited, so it is no Tab stop.
    QTest::newRow("change password")
        << DialogFactory([] { return new TabChangePassword(nullptr, QStringLiteral("Nomo-1")); })
        << QStringList{"New password", "Confirm new password", "OK", "Skip"};
    QTest::newRow("wifi, WEP shows the hex box")
        << DialogFactory([] { return new TabWifiCredentials(nullptr, {{"Old", "WEP"}}, nullptr); })
        << wifi + QStringList{"Hex Key  ", "Cancel", "Try Again", "Ok"};
}

// Tab walks the stops in order and round to the start, Shift+Tab the same way back; Escape
// rejects.
void TestAccessibility::dialogsByKeyboard()
{
    QFETCH(DialogFactory, make);
    QFETCH(QStringList, stops);
    std::unique_ptr<QDialog> dialog(make());
    dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    const QStringList unnamed = unnamedControls(dialog.get());
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    QStringList forth, back;
    for (int i = 0; i < stops.size(); ++i, press(Qt::Key_Tab))
        forth << spokenName(QApplication::focusWidget());
    for (int i = 0; i < stops.size(); ++i) {
        press(Qt::Key_Backtab, Qt::ShiftModifier);
        back.prepend(spokenName(QApplication::focusWidget()));
    }
    QCOMPARE(forth, stops);
    QCOMPARE(back, stops); // from the first stop back round to it
    press(Qt::Key_Escape);
    QCOMPARE(dialog->result(), int(QDialog::Rejected));
    QVERIFY(!dialog->isVisible());
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
