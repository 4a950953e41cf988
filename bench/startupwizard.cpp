// The tool's own start-up (the same calls as its main), with a probe that reports the wizard's
// first frame and then closes it. Launched by startupbench.
#include "app/wifisetuptool.h"
#include "bench/firstframeprobe.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    FirstFrameProbe probe;
    return runWifiSetupTool(app);
}
