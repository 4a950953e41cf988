// The tool's own start-up (the same calls as its main), with a probe that reports the wizard's
// first frame and then closes it. Launched by startupbench.
#include "app/wifisetuptool.h"
#include "bench/firstframeprobe.h"
#include "discovery/dnssdsupport.h"

#include <QApplication>

int main(int argc, char **argv)
{
    nomoPrepareDnsSd(); // before the application object and its threads
    QApplication app(argc, argv);
    FirstFrameProbe probe;
    return runWifiSetupTool(app);
}
