// Kelvarin: the process runs the main dialog on the desktop and ends with it.
// Doubles are IEEE 64-bit throughout: x86-64 arithmetic has a 53-bit significand.
#include "app/main_app.h"
#include "app/program_state.h"
#include "platform/desktop/desktop_platform.h"

int main() {
    platform::desktop::DesktopPlatform platform;
    app::ProgramState state(platform.GetFiles());
    app::MainApp application(platform, state);
    application.InitInstance();  // false: nothing more to run once the dialog has ended
    return 0;
}
