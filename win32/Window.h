#pragma once

#include <windows.h>

#include <exception>

namespace win32 {

class Win32Program;

// What the program's root holds of each of its windows.
class Window {
public:
    explicit Window(Win32Program &root) : m_root(root) {}
    virtual ~Window() = default;
    Window(const Window &) = delete;
    Window &operator=(const Window &) = delete;

    HWND handle() const { return m_window; }

protected:
    Win32Program &root() const { return m_root; }

    HWND m_window = nullptr;

private:
    Win32Program &m_root;
};

// A top-level window whose messages go to `Derived::handleMessage`: the object is
// handed over at WM_NCCREATE and kept in GWLP_USERDATA, so nothing global points to
// it. The root owns the object; the window's end only tells the root (windowDestroyed),
// which deletes it once no handler of it is running.
//
// Derived provides:
//   static constexpr const wchar_t *kClassName;
//   LRESULT handleMessage(UINT, WPARAM, LPARAM);
//   void destroyed();                       // after WM_NCDESTROY
//   void unexpectedError(std::exception_ptr); // an exception left a handler
template <typename Derived>
class BaseWindow : public Window {
public:
    using Window::Window;

protected:
    // Registers the class once per process (a second registration fails harmlessly)
    // and creates the window; a null handle means the system refused it.
    // `menu` is a child's control id.
    HWND create(DWORD exStyle, const wchar_t *caption, DWORD style, int x, int y, int width, int height, HWND parent,
                HMENU menu, HICON icon, HICON smallIcon, HBRUSH background)
    {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof cls;
        cls.lpfnWndProc = &BaseWindow::windowProc;
        cls.hInstance = instance;
        cls.hIcon = icon;
        cls.hIconSm = smallIcon;
        cls.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
        cls.hbrBackground = background;
        cls.lpszClassName = Derived::kClassName;
        RegisterClassExW(&cls);
        return CreateWindowExW(exStyle, Derived::kClassName, caption, style, x, y, width, height, parent, menu,
                               instance, static_cast<Derived *>(this));
    }

    LRESULT defaultMessage(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return DefWindowProcW(m_window, message, wParam, lParam);
    }

    // As a dialog does: the control that had the focus gets it back when the window
    // is active again, after a message box or another window. For WM_ACTIVATE;
    // true when it gave the focus (the message is then handled).
    bool restoreFocus(WPARAM wParam)
    {
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus != nullptr && IsChild(m_window, focus))
                m_focus = focus;
            return false;
        }
        if (m_focus == nullptr || !IsWindow(m_focus) || !IsChild(m_window, m_focus))
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
