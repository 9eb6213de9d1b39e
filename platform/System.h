#pragma once

#include "platform/Launcher.h"
#include "platform/Registry.h"

#include <memory>

namespace platform {

// The registry and the program launcher of the machine the program runs on, made
// by the program's entry. Where there is no Windows registry, the registry is a
// table filled once, on first use, with what this system has in place of the
// system-information values.
std::unique_ptr<Registry> makeSystemRegistry();
std::unique_ptr<Launcher> makeSystemLauncher();

} // namespace platform
