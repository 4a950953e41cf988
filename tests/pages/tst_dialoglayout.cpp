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

    const QList<WIFINetworkEntry> networks = {
        {QStringLiteral("HomeNet"), QStringLiteral("WPA2-PSK AES")},
        {QStringLiteral("A rather long network name of 32 c"), QStringLiteral("WEP")}};
    const QList<std::pair<const char *, DialogMaker>> dialogs = {
        {"password, first prompt",
         [] {
             return new TabDeviceauthentication(
                 QStringLiteral("Enter the Lumetra - Wi-Fi setup password"), nullptr);
         }},
        {"password, retry prompt",
         [] {
             return new TabDeviceauthentication(
                 QStringLiteral("Incorrect password.  Please try again."), nullptr);
         }},
        {"change password, new", [] { return new TabChangePassword(nullptr, QString()); }},
        {"change password, with old",
         [] { return new TabChangePassword(nullptr, QStringLiteral("Nomo-1234")); }},
        {"wifi, networks",
         [networks] { return new TabWifiCredentials(nullptr, networks, nullptr); }},
        {"wifi, WEP first",
         [networks] {
             return new TabWifiCredentials(nullptr, {networks[1], networks[0]}, nullptr);
         }},
        {"wifi, empty list", [] { return new TabWifiCredentials(nullptr, {}, nullptr); }},
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
        if (!w->isVisible() || !(qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w)))
            continue;
        const QSize hint = w->sizeHint();
        if (w->width() < hint.width() || w->height() < hint.height()) {
            const auto *label = qobject_cast<QLabel *>(w);
            const auto *button = qobject_cast<QAbstractButton *>(w);
            clipped << QStringLiteral("%1 \"%2\": %3x%4 < %5x%6")
                           .arg(QLatin1String(w->metaObject()->className()),
                                label ? label->text() : button->text())
                           .arg(w->width())
                           .arg(w->height())
                           .arg(hint.width())
                           .arg(hint.height());
        }
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
