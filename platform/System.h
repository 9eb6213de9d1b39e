#pragma once

#include "platform/Launcher.h"
#include "platform/Registry.h"

namespace platform {

// The registry and the program launcher of the machine the program runs on. Where
// there is no Windows registry, the registry is a table filled once, on first use,
// with what this system has in place of the system-information values.
Registry &systemRegistry();
Launcher &systemLauncher();

} // namespace platform
