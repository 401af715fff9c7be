#pragma once
// The About box: the icon, the version text and "OK".
#include "platform/dialog.h"

namespace app {

class AboutDialog : public platform::Dialog {
public:
    AboutDialog();
    platform::LRESULT WindowProc(platform::UINT message, platform::WPARAM wParam,
                                 platform::LPARAM lParam) override;
};

}  // namespace app
