#pragma once
// The About box: the icon, the version text and "OK".
#include "platform/dialog.h"

namespace app {

class AboutDialog : public platform::Dialog {
public:
    AboutDialog();
};

}  // namespace app
