// Kelvarin: the process runs the main dialog on the desktop and ends with it.
// Doubles are IEEE 64-bit throughout: x86-64 arithmetic has a 53-bit significand.
#include <cstdio>
#include <filesystem>

#include "app/command_line.h"
#include "app/main_app.h"
#include "app/program_state.h"
#include "platform/desktop/desktop_platform.h"

int main(int argc, char** argv) {
    const app::CommandLine command = app::ParseCommandLine(argc, argv);
    if (!command.run) {
        std::fputs(command.text.c_str(), command.toStderr ? stderr : stdout);
        return command.exitStatus;
    }
    platform::desktop::DesktopPlatform platform;
    if (!platform.OpenDisplay()) return 1;  // it has said why
    platform.JoinSession(std::filesystem::path(argv[0]).filename());  // only with NSM_URL set
    app::ProgramState state(platform.GetFiles());
    state.BlocksInFlight = app::ChooseBlocksInFlight(command.blocks, state.settings);
    app::MainApp application(platform, state);
    application.InitInstance();  // false: nothing more to run once the dialog has ended
    return 0;
}
