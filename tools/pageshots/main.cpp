// nomo-pageshots: draws the configuration dialogs and pages with the tool's own font and style
// and saves each as a PNG, for the documentation. Run it under a display server, e.g.
//     xvfb-run -a -s "-screen 0 1280x1024x24" nomo-pageshots docs/screenshots

#include "pages/tabchangepassword.h"
#include "pages/tabcommunicationresults.h"
#include "pages/tabdeviceauthentication.h"
#include "pages/tabnomocommunication.h"
#include "pages/tabwificredentials.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>

namespace {

// Shows the widget as the user would first see it and grabs its contents.
bool shoot(QWidget &widget, const QDir &dir, const QString &name)
{
    widget.show();
    if (QWindow *window = widget.windowHandle()) {
        for (int i = 0; i < 200 && !window->isExposed(); ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    widget.hide();
    return saved;
}

// A white dialog around a page, as the wizard shows it.
class PageHost : public QDialog
{
public:
    explicit PageHost(QWidget *page)
    {
        page->setParent(this);
        auto *layout = new QVBoxLayout;
        layout->addWidget(page);
        setLayout(layout);
        setWindowTitle(QStringLiteral("Lumetra - Wi-Fi Setup Tool - v1.5.3.0"));
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // The look the tool sets at start-up.
    QApplication::setFont(QFont(QStringLiteral("Arial"), 10));
    app.setStyleSheet(
        QStringLiteral("QDialog { background: white; } QPushButton  {background: #EA7E1D}"));

    bool ok = true;
    {
        TabDeviceauthentication dialog(QStringLiteral("Enter the Lumetra - Wi-Fi setup password"),
                                       nullptr);
        ok &= shoot(dialog, dir, QStringLiteral("password-dialog"));
    }
    {
        TabDeviceauthentication dialog(QStringLiteral("Incorrect password.  Please try again."),
                                       nullptr);
        dialog.findChild<QLineEdit *>()->setText(QStringLiteral("Nomo-1234"));
        ok &= shoot(dialog, dir, QStringLiteral("password-dialog-retry"));
    }
    {
        TabChangePassword dialog(nullptr, QString());
        ok &= shoot(dialog, dir, QStringLiteral("change-password-dialog"));
    }
    {
        TabChangePassword dialog(nullptr, QStringLiteral("Nomo-1234"));
        ok &= shoot(dialog, dir, QStringLiteral("change-password-dialog-old-password"));
    }
    const QList<WIFINetworkEntry> networks = {
        {QStringLiteral("HomeNet"), QStringLiteral("WPA2-PSK AES")},
        {QStringLiteral("OldRouter"), QStringLiteral("WEP")},
        {QStringLiteral("Guest"), QStringLiteral("No Authentication")}};
    {
        TabWifiCredentials dialog(nullptr, networks, nullptr);
        ok &= shoot(dialog, dir, QStringLiteral("wifi-credentials-dialog"));
    }
    {
        TabWifiCredentials dialog(nullptr, {networks[1], networks[0], networks[2]}, nullptr);
        ok &= shoot(dialog, dir, QStringLiteral("wifi-credentials-dialog-wep"));
    }
    {
        auto *page = new TabNomoCommunication(nullptr, 3);
        PageHost host(page);
        page->findChild<QProgressBar *>()->setValue(4);
        ok &= shoot(host, dir, QStringLiteral("communication-page"));
    }
    for (const auto &[result, name] : {std::pair{ComResultSuccess, "results-page-success"},
                                       std::pair{ComResultNoReply, "results-page-no-reply"}}) {
        auto *page = new TabCommunicationResults(nullptr, 4);
        PageHost host(page);
        page->setTextAndImage(result, QPixmap()); // the session delivers no image
        ok &= shoot(host, dir, QString::fromLatin1(name));
    }
    return ok ? 0 : 1;
}
