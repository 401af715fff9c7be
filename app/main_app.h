#pragma once
// The application object: runs the main dialog and ends the process when it closes.
#include "app/program_state.h"
#include "platform/platform.h"

namespace app {

class MainApp {
public:
    MainApp(platform::Platform& platform, ProgramState& state)
        : platform_(platform), state_(state) {}
    // Runs the dialog to its end; false, so the process ends with it.
    bool InitInstance();

private:
    platform::Platform& platform_;
    ProgramState& state_;
};

}  // namespace app
