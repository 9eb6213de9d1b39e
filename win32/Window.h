#pragma once

#include "forms/Program.h"

#include <windows.h>

#include <exception>

namespace win32 {

class Win32Program;

// A system window's handle, as every view of one holds it.
class WindowHandle {
public:
    WindowHandle() = default;
    virtual ~WindowHandle() = default;
    WindowHandle(const WindowHandle &) = delete;
    WindowHandle &operator=(const WindowHandle &) = delete;

    HWND handle() const { return m_window; }

protected:
    HWND m_window = nullptr;
};

// What the program's root holds of each of its windows, and what every one of them
// does at its end and when a handler fails: the program's rules hear of it.
class Window : public WindowHandle {
public:
    Window(Win32Program &root, forms::Window which) : m_root(root), m_which(which) {}

    // After WM_NCDESTROY: the root deletes the object once no handler of it is running.
    void destroyed();
    // An exception left a handler.
    void unexpectedError(std::exception_ptr error);

protected:
    Win32Program &root() const { return m_root; }

private:
    Win32Program &m_root;
    forms::Window m_which;
};

// A window whose messages go to `Derived::handleMessage`: the object is handed over
// at WM_NCCREATE and kept in GWLP_USERDATA, so nothing global points to it. A window
// of the program's (Base = Window) is owned by the root, and its end only tells the
// root, which deletes it once no handler of it is running.
//
// Derived provides:
//   static constexpr const wchar_t *kClassName;
//   LRESULT handleMessage(UINT, WPARAM, LPARAM);
// and, unless Base (Window) does:
//   void destroyed();                       // after WM_NCDESTROY
//   void unexpectedError(std::exception_ptr); // an exception left a handler
template <typename Derived, typename Base = Window>
class BaseWindow : public Base {
public:
    using Base::Base;

protected:
    // Registers the class once per process (a second registration fails harmlessly)
    // and creates the window; a null handle means the system refused it.
    // `menu` is a child's control id; `cursor` a system cursor (32512, IDC_ARROW).
    HWND create(DWORD exStyle, const wchar_t *caption, DWORD style, int x, int y, int width, int height, HWND parent,
                HMENU menu, HICON icon, HICON smallIcon, HBRUSH background, WORD cursor = 32512)
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = &BaseWindow::windowProc;
        cls.hInstance = instance;
        cls.hIcon = icon;
        cls.hIconSm = smallIcon;
        cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor));
        cls.hbrBackground = background;
        cls.lpszClassName = Derived::kClassName;
        RegisterClassExW(&cls);
        return CreateWindowExW(exStyle, Derived::kClassName, caption, style, x, y, width, height, parent, menu,
                               instance, static_cast<Derived *>(this));
    }

    LRESULT defaultMessage(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(this->m_window, message, wParam, lParam);
    }

    // As a dialog does: the control that had the focus gets it back when the window
    // is active again, after a message box or another window. For WM_ACTIVATE;
    // true when it gave the focus (the message is then handled).
    bool restoreFocus(WPARAM wParam)
    {
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(this->m_window, focus))
                m_focus = focus;
            return false;
        }
        if (m_focus == nullptr || !IsWindow(m_focus) || !IsChild(this->m_window, m_focus))
            return false;
        SetFocus(m_focus);
        return true;
    }

    // The control to give the focus back to.
    HWND m_focus = nullptr;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        Derived *self = nullptr;
        if (message == WM_NCCREATE) {
            const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
            self = static_cast<Derived *>(create->lpCreateParams);
            self->m_window = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        } else {
            self = reinterpret_cast<Derived *>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (self == nullptr)
            return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->m_window = nullptr;
            const LRESULT result = DefWindowProcW(window, message, wParam, lParam);
            self->destroyed();
            return result;
        }
        // The view's outermost handler: no exception goes back into the system.
        try {
            return self->handleMessage(message, wParam, lParam);
        } catch (...) {
            self->unexpectedError(std::current_exception());
            return 0;
        }
    }
};

} // namespace win32
