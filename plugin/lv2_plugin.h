#pragma once
// The plugin as LV2 describes one: instantiate, connect the ports, run, and so on. The
// bundle's binary exports it through lv2_descriptor; tests, the fuzz target and the
// benchmark call it directly.
#include <lv2/core/lv2.h>

namespace plugin {

const LV2_Descriptor& Descriptor();

}  // namespace plugin
