#pragma once

class NomoWizard;
class QApplication;

// The tool's start-up after the application object exists: the one-instance guard, the
// application-wide font, icon and style, and the wizard, run until its window closes.
// Returns the process exit status: 0 when another instance already runs (after its message box
// has been dismissed), otherwise the event loop's exit code.
int runWifiSetupTool(QApplication &app);

// The application-wide look the tool runs with: font, window icon (from "favicon_lm.ico" in the
// current directory, if there) and style sheet. Also used by developer programs that show the
// real pages, so that what they show is what users see.
void applyWifiSetupLook(QApplication &app);

// Window flags and title of the wizard window.
void prepareWizardWindow(NomoWizard &wizard);
