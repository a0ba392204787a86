#include "plugin/state.h"

PluginState Plugin;
