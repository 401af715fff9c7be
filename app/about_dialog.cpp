#include "app/about_dialog.h"

#include "res/dialog_template.h"

namespace app {

// No handlers of its own: the default processing ends it on "OK", Esc and its close box.
AboutDialog::AboutDialog() : Dialog(res::AboutDialogTemplate) {}

}  // namespace app
