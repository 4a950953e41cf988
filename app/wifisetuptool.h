#pragma once

class QApplication;

// The tool's start-up after the application object exists: the one-instance guard, the
// application-wide font, icon and style, and the wizard, run until its window closes.
// Returns the process exit status: 0 when another instance already runs (after its message box
// has been dismissed), otherwise the event loop's exit code.
int runWifiSetupTool(QApplication &app);
