#include "win32/ListBoxScroll.h"

#include <commctrl.h>

namespace win32::ListBoxScroll {

namespace {

constexpr UINT_PTR kSubclassId = 0x4c53; // this file's subclass of a list box

LRESULT CALLBACK scrollProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    auto *tracked = reinterpret_cast<int *>(data); // the last position of a drag
    switch (message) {
    case WM_VSCROLL: {
        const int code = LOWORD(wParam);
        if (code != SB_THUMBTRACK && code != SB_THUMBPOSITION)
            break;
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        if (GetScrollInfo(list, SB_VERT, &info) && (code == SB_THUMBTRACK || info.nTrackPos != 0))
            *tracked = info.nTrackPos;
        DefSubclassProc(list, LB_SETTOPINDEX, static_cast<WPARAM>(*tracked), 0);
        return 0;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, &scrollProc, kSubclassId);
        delete tracked;
        break;
    default:
        break;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

} // namespace

void attach(HWND listBox)
{
    auto *tracked = new int(0);
    if (!SetWindowSubclass(listBox, &scrollProc, kSubclassId, reinterpret_cast<DWORD_PTR>(tracked)))
        delete tracked;
}

} // namespace win32::ListBoxScroll
