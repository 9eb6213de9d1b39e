#pragma once

// What the probe's commands share: rectangles read from windows and written as JSON.
#include <windows.h>

#include <cstdio>
#include <string>

namespace probe {

inline std::string rectJson(const RECT &r)
{
    char text[64];
    std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return text;
}

// A control's rectangle relative to its parent's client area.
inline RECT placeInParent(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

inline RECT clientOnScreen(HWND window)
{
    RECT rect;
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

// vorteda_probe layout: every open window of Vorteda against its pixels; 0 when all
// are within 1 pixel.
int layout();

} // namespace probe
