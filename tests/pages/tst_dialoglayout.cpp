#include "pages/tabchangepassword.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabwificredentials.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include <functional>
#include <memory>

using DialogMaker = std::function<QDialog *()>;
Q_DECLARE_METATYPE(DialogMaker)

class TestDialogLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nothingClippedInDefaultSize_data();
    void nothingClippedInDefaultSize();
};

void TestDialogLayout::nothingClippedInDefaultSize_data()
{
    QTest::addColumn<bool>("toolLook");
    QTest::addColumn<DialogMaker>("make");

    const QList<WIFINetworkEntry> networks = {{"HomeNet", "WPA2-PSK AES"},
                                              {"A rather long network name of 32 c", "WEP"}};
    const QString retry = QStringLiteral("Incorrect password.  Please try again.");
    const QList<std::pair<const char *, DialogMaker>> dialogs = {
        {"password", [retry] { return new TabDeviceauthentication(retry, nullptr); }},
        {"change password, new", [] { return new TabChangePassword(nullptr, QString()); }},
        {"change password, with old", [] { return new TabChangePassword(nullptr, "Nomo-1234"); }},
        {"wifi, networks", [=] { return new TabWifiCredentials(nullptr, networks, nullptr); }},
        {"wifi, WEP first (Hex Key box shown)",
         [=] {
             return new TabWifiCredentials(nullptr, {networks[1], networks[0]}, nullptr);
         }},
    };
    for (bool toolLook : {false, true}) {
        for (const auto &[name, make] : dialogs) {
            QTest::addRow("%s, %s", name, toolLook ? "tool font and style" : "default look")
                << toolLook << make;
        }
    }
}

void TestDialogLayout::nothingClippedInDefaultSize()
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
