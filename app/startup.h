#pragma once

// The life of the process: runtime start, class set-up, framework initialisation with the
// start-up routine, the event loop, release of the module globals, runtime exit.

namespace frametide {

// The whole run, as `main` performs it; the result is the process exit status.
int Run(int argc, char** argv);

void initialize();  // sets up every class table, the framework's first
void Main();        // framework initialisation and event loop, with the top-level handler
void Startup();     // called back by the framework during its initialisation
void InitFileTypes();
void NewAppInstance();
void ApplicationAddMenuHandlers();
void MakeDefaultView();
void finalize();    // releases the module globals

}  // namespace frametide
