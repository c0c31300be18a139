// NexlumeQ7Setup.exe: the part of the application framework that a windowless Windows program
// needs. The one application object is constructed with the program's static data, before WinMain;
// WinMain only calls its start-up operation and, since no main window exists, the process ends
// with the exit status of the run. No argument is read: the host is found through the registry.
#include "app/ExitStatus.h"
#include "app/NexlumeQ7App.h"

// After the application's headers: <windows.h> defines TRUE and FALSE as macros.
#include <windows.h>

CNexlumeQ7App theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  theApp.InitInstance();
  return app::exitStatusOf(theApp.outcome());
}
