#pragma once

// The names a screen reader gives the parts of a window that have no caption of
// their own to read.
namespace wording {

// The contacts window's menu bar.
inline constexpr const char *kMenuBarName = "Barra de menús";

} // namespace wording
