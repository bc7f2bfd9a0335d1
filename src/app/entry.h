#pragma once
// The program entry and the two entry points a host program calls after loading the
// editor's library.
namespace dorvin {

// The program: application title, help file, the main window, the find dialog and the
// steps registered below, then the message loop until the main window closes. Returns the exit code (0).
int runProgram(int argc, char** argv);

// What the program sets on the application before its first window: the toolkit's
// Russian texts and the design font's substitute (prepareToolkit), the application title
// and the help file. Acceptance tests start the window the same way.
void prepareApplication();
// The part the host entry points share with the program: the toolkit's Russian
// translation in the running application object and the substitute for the design font.
void prepareToolkit();

// A step of the program entry run after the main window is created, after the program's
// own (the find dialog). Steps run in the order they were registered; they do not run
// under the host entry points.
using ProgramStartupStep = void (*)();
void registerProgramStartupStep(ProgramStartupStep step);
// What the program does right after creating its main window: creates the find dialog,
// hidden, then runs the registered steps.
void runProgramStartupSteps();

// The editor window, shown modally; returns when it has closed and has been destroyed.
// Creates a QApplication for the time of the call when the host has none.
void launchEditor() __asm__("_LaunchEditor");
// The About box, shown modally; likewise.
void showAbout() __asm__("_ShowAbout");

} // namespace dorvin
