// The one symbol the bundle's binary exports: hosts find the plugin through it.
#include <lv2/core/lv2.h>

#include "plugin/lv2_plugin.h"

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &plugin::Descriptor() : nullptr;
}
