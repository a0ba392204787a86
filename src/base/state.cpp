#include "base/state.h"

PluginState Plugin;
