// The start-up baseline: a bare dialog with one label, with the same probe as the tool's
// start-up. Launched by startupbench.
#include "bench/firstframeprobe.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstFrameProbe probe;
    QDialog dialog;
    auto *layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel(QStringLiteral("Hello")));
    dialog.show();
    return app.exec();
}
