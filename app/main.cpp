#include "app/wifisetuptool.h"
#include "discovery/dnssdsupport.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // Before the application object: it starts threads, and this sets the environment.
    nomoPrepareDnsSd();
    QApplication app(argc, argv);
    return runWifiSetupTool(app);
}
