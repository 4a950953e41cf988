#include "pages/tabchangepassword.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabwificredentials.h"

#include "pagetesthelpers.h"

#include <memory>

using DialogMaker = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogMaker)

class TestDialogLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void builtAsShownAndNothingClipped_data();
    void builtAsShownAndNothingClipped();
};

void TestDialogLayout::builtAsShownAndNothingClipped_data()
{
    QTest::addColumn<bool>("toolLook");
    QTest::addColumn<DialogMaker>("make");
    QTest::addColumn<QStringList>("layout"); // see describe()

    const QList<WIFINetworkEntry> networks = {{"HomeNet", "WPA2-PSK AES"},
                                              {"A rather long network name of 32 c", "WEP"}};
    const QString retry = QStringLiteral("Incorrect password.  Please try again.");
    const QString create = QStringLiteral("Create a password for Wi-Fi configuration settings.");
    const QStringList change = {"New Password :",
                                "edit newPasswordEdit*",
                                "Confirm New Password :",
                                "edit confirmPasswordEdit*",
                                "<html><body><b>IMPORTANT: Record password for any future Wi-Fi "
                                "configuration changes.</b></body></html>",
                                "(OK)",
                                "(Skip)"};
    const QStringList wifi = {
        "<html><body>Please select the wireless network from the dropdown list and enter the "
        "Network Key and Key Type. <br/>If you don't see the network name in the list, you can "
        "type it in.<br/></body></html>",
        "Wireless Network Name (SSID):",
        "combo ssidCombo",
        "Wireless Network Key (Password):",
        "edit keyEdit",
        "Wireless Network Key Type :",
        "combo keyTypeCombo",
        "[ ] Hex Key  ",
        "(Cancel)",
        "(Try Again)",
        "(Ok)"};
    const QList<std::tuple<const char *, DialogMaker, QStringList>> dialogs = {
        {"password",
         [retry] { return new TabDeviceauthentication(retry, nullptr); },
         {retry, "edit passwordEdit*", "[ ] Change password", "(OK)", "(Cancel)"}},
        {"change password, new", [] { return new TabChangePassword(nullptr, QString()); },
         QStringList{create} + change},
        {"change password, with old", [] { return new TabChangePassword(nullptr, "Nomo-1234"); },
         QStringList{create, "Old Password :", "edit oldPasswordEdit*"} + change},
        {"wifi, networks", [=] { return new TabWifiCredentials(nullptr, networks, nullptr); },
         wifi},
        {"wifi, WEP first (Hex Key box shown)",
         [=] {
             return new TabWifiCredentials(nullptr, {networks[1], networks[0]}, nullptr);
         },
         wifi},
    };
    for (bool toolLook : {false, true}) {
        for (const auto &[name, make, layout] : dialogs) {
            QTest::addRow("%s, %s", name, toolLook ? "tool font and style" : "default look")
                << toolLook << make << layout;
        }
    }
}

void TestDialogLayout::builtAsShownAndNothingClipped()
{
    QFETCH(bool, toolLook);
    QFETCH(DialogMaker, make);

    const QFont defaultFont = QApplication::font();
    if (toolLook) {
        // What the tool sets at start-up.
        QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
        qApp->setStyleSheet(
            QStringLiteral("QDialog { background: white; } QPushButton  {background: #EA7E1D}"));
    }
    const std::unique_ptr<QDialog> dialog(make());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Lumetra - Wi-Fi Setup Tool"));
    QVERIFY(onlyCloseHint(dialog->windowFlags()));
    QTEST(describe(dialog->layout()), "layout");
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));

    QStringList clipped;
    const auto widgets = dialog->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        const auto *label = qobject_cast<QLabel *>(w);
        const auto *button = qobject_cast<QAbstractButton *>(w);
        const QSize hint = w->sizeHint();
        if (w->isVisible() && (label || button) &&
            (w->width() < hint.width() || w->height() < hint.height()))
            clipped << QStringLiteral("\"%1\": %2x%3 < %4x%5")
                           .arg(label ? label->text() : button->text())
                           .arg(w->width())
                           .arg(w->height())
                           .arg(hint.width())
                           .arg(hint.height());
    }
    dialog->hide();
    if (toolLook) {
        qApp->setStyleSheet(QString());
        QApplication::setFont(defaultFont);
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestDialogLayout)
#include "tst_dialoglayout.moc"
