#include "app/main_app.h"

#include "app/main_dialog.h"

namespace app {

bool MainApp::InitInstance() {
    MainDialog dialog(platform_, state_);
    platform_.RunModal(dialog);
    return false;
}

}  // namespace app
