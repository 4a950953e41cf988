// A stand-in for the tool's main window, for the test that closes the window in mid-session:
// a dialog holding the communication page in a page stack, the application quitting when its
// last window closes. It connects to the camera named on the command line at once, closes its
// window when "close" arrives on standard input, and prints the session's outcome on the way out.

#include "pages/tabnomocommunication.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <camera address>\n", argv[0]);
        return 2;
    }
    const QString address = QString::fromLocal8Bit(argv[1]);

    QDialog window(nullptr);
    window.setWindowFlags(Qt::WindowCloseButtonHint);
    auto *stack = new QStackedWidget;
    auto *page = new TabNomoCommunication(&window, 3);
    stack->addWidget(page);
    auto *layout = new QVBoxLayout;
    layout->addWidget(stack);
    window.setLayout(layout);
    window.show();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &window, [&] {
        char buffer[64];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        // As the window manager's close button does it: through the window, not the widget.
        if (QByteArray(buffer, int(n)).contains("close") && window.windowHandle())
            window.windowHandle()->close();
    });

    QTimer::singleShot(0, page, [page, address] {
        std::printf("session started\n");
        std::fflush(stdout);
        page->Connect(address);
    });
    const int status = app.exec();
    std::printf("outcome %d\n", int(page->result()));
    std::fflush(stdout);
    return status;
}
