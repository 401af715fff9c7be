// Kelvarin on Windows: the process runs the main dialog and ends with it.
#include <cstdio>

#include "app/command_line.h"
#include "app/main_app.h"
#include "app/program_state.h"
#include "platform/win32/win32_platform.h"

int main(int argc, char** argv) {
    const app::CommandLine command = app::ParseCommandLine(argc, argv);
    if (!command.run) {
        std::fputs(command.text.c_str(), command.toStderr ? stderr : stdout);
        return command.exitStatus;
    }
    platform::win32::Win32Platform platform;
    app::ProgramState state(platform.GetFiles());
    state.BlocksInFlight = app::ChooseBlocksInFlight(command.blocks, state.settings);
    app::MainApp application(platform, state);
    application.InitInstance();  // false: nothing more to run once the dialog has ended
    return 0;
}
