#include "app/wifisetuptool.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    return runWifiSetupTool(app);
}
