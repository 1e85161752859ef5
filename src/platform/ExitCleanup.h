#pragma once

// Removes this process's temporary files however the program ends. Installs, once:
// - an exit handler (DeleteTempFiles) for a return from main and for exit(), which is also
//   how a window ends when its display connection is lost at logout;
// - handlers for SIGTERM (the session ending, a service stopping the program), SIGHUP (the
//   terminal closing) and SIGINT that remove the files and then let the signal end the
//   process as it would have without them.
// Code that turns one of these signals into a cancel request for a while (the command
// line during a job) installs its own handler and puts the previous one back after.
void InstallExitCleanup();

// The handler InstallExitCleanup installs, for code that takes a signal over and passes
// it on when it cannot handle it itself.
extern "C" void ExitCleanupSignalHandler(int signal);
