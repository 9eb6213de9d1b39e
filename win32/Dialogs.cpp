#include "win32/Dialogs.h"

#include "forms/Job.h"
#include "win32/Common.h"
#include "win32/ControlIds.h"
#include "win32/Window.h"

#include <commctrl.h>
#include <commdlg.h>

#include <utility>
#include <vector>

namespace win32 {

namespace {

// "Contactos (*.vcf, *.csv)\0*.vcf;*.csv\0...\0\0", as the common dialogs read a filter.
std::wstring filterText(const forms::FileDialog &dialog)
{
    std::wstring text;
    for (const forms::FileFilter &filter : dialog.filters) {
        std::wstring shown;
        std::wstring patterns;
        for (const std::string &pattern : filter.patterns) {
            // Every file is "*.*" to Windows.
            const std::wstring wide = pattern == "*" ? L"*.*" : widen(pattern);
            shown += (shown.empty() ? L"" : L", ") + wide;
            patterns += (patterns.empty() ? L"" : L";") + wide;
        }
        text += widen(filter.name) + L" (" + shown + L")";
        text.push_back(L'\0');
        text += patterns;
        text.push_back(L'\0');
    }
    text.push_back(L'\0');
    return text;
}

constexpr DWORD kNameRoom = 32768; // the longest path Windows takes

std::optional<forms::ChosenFile> choose(HWND owner, const forms::FileDialog &dialog, bool save)
{
    const std::wstring filters = filterText(dialog);
    const std::wstring title = widen(dialog.title);
    const std::wstring folder = dialog.folder.wstring();
    std::vector<wchar_t> name(kNameRoom, L'\0');
    const std::wstring suggested = widen(dialog.suggestedName);
    if (suggested.size() < kNameRoom)
        std::copy(suggested.begin(), suggested.end(), name.begin());
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = name.data();
    ofn.nMaxFile = kNameRoom;
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = title.c_str();
    // The program's own folder stays its working folder.
    ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
    std::wstring extension;
    if (save) {
        ofn.Flags |= OFN_OVERWRITEPROMPT;
        // A name typed without an extension gets the chosen type's.
        extension = widen(forms::extensionOf(dialog, 0));
        ofn.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    } else {
        ofn.Flags |= OFN_FILEMUSTEXIST;
    }
    if (!(save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn)))
        return std::nullopt;
    return forms::ChosenFile{std::filesystem::path(std::wstring(name.data())),
                             ofn.nFilterIndex > 0 ? static_cast<int>(ofn.nFilterIndex) - 1 : 0};
}

// The captions a message box's OK and Cancel take: a message box has no other way
// to name its buttons, so a hook renames them as it comes up. The hook finds them on
// the box's owner, where confirm() leaves them for that moment.
struct Captions {
    std::wstring accept;
    std::wstring cancel;
    HHOOK hook = nullptr;
};
constexpr wchar_t kCaptionsProperty[] = L"Vorteda.Captions";

LRESULT CALLBACK renameButtons(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wParam);
        HWND owner = GetWindow(box, GW_OWNER);
        auto *captions = owner != nullptr ? static_cast<Captions *>(GetPropW(owner, kCaptionsProperty)) : nullptr;
        if (captions != nullptr) {
            SetDlgItemTextW(box, IDOK, captions->accept.c_str());
            SetDlgItemTextW(box, IDCANCEL, captions->cancel.c_str());
            RemovePropW(owner, kCaptionsProperty);
            UnhookWindowsHookEx(std::exchange(captions->hook, nullptr));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The progress window: its job's title, a bar and, when the job can be stopped, a
// button that stops it. It lives on the stack of waitFor, which ends it.
class ProgressWindow : public BaseWindow<ProgressWindow, WindowHandle> {
public:
    static constexpr const wchar_t *kClassName = L"Vorteda.Progress";

    explicit ProgressWindow(forms::Job &job) : m_job(job) {}
    ~ProgressWindow() override { close(); }

    // Creates and shows the window over `owner`, centred on it; when the system
    // refuses it, the wait goes on without it.
    void open(HWND owner);
    void close()
    {
        if (m_window != nullptr)
            DestroyWindow(m_window);
    }
    void showProgress()
    {
        if (m_window != nullptr)
            SendDlgItemMessageW(m_window, kBar, PBM_SETPOS,
                                static_cast<WPARAM>(m_job.permille() < 0 ? 0 : m_job.permille()), 0);
    }

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void destroyed() {}
    // Thrown again from waitFor, where the window's command that waits hears of it.
    void unexpectedError(std::exception_ptr error) { m_error = error; }
    std::exception_ptr error() const { return m_error; }

private:
    static constexpr int kText = 400;
    static constexpr int kBar = 401;

    bool cancellable() const { return !m_job.cancelCaption().empty(); }

    forms::Job &m_job;
    std::exception_ptr m_error;
};

void ProgressWindow::open(HWND owner)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    const DWORD style = WS_POPUP | WS_CAPTION;
    const int width = px(5400);
    const int height = px(cancellable() ? 1620 : 1080);
    const RECT frame = windowRectForClient(0, 0, width, height, style, WS_EX_DLGMODALFRAME, false);
    if (create(WS_EX_DLGMODALFRAME, programTitle(), style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
               frame.bottom - frame.top, owner, nullptr, nullptr, nullptr,
               reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1), 32514 /* IDC_WAIT */)
        == nullptr)
        return;
    HFONT font = dialogFont();
    try {
        makeControl(m_window, L"STATIC", m_job.title(), SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, kText,
                    RECT{px(180), px(180), width - px(180), px(435)}, font);
        makeControl(m_window, PROGRESS_CLASSW, "", 0, kBar, RECT{px(180), px(555), width - px(180), px(810)}, font);
        if (cancellable())
            makeControl(m_window, L"BUTTON", m_job.cancelCaption(), WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL,
                        RECT{width - px(1440), px(1035), width - px(180), px(1380)}, font);
    } catch (const WindowCreationFailed &) {
        // The wait goes on without the window's parts.
    }
    SendDlgItemMessageW(m_window, kBar, PBM_SETRANGE32, 0, 1000);
    RECT area;
    GetWindowRect(owner != nullptr ? owner : GetDesktopWindow(), &area);
    centre(m_window, area);
    ShowWindow(m_window, SW_SHOW);
}

LRESULT ProgressWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && cancellable())
            m_job.cancel();
        return 0;
    case WM_CLOSE:
        if (cancellable())
            m_job.cancel();
        return 0; // closes when the job has ended
    default:
        return defaultMessage(message, wParam, lParam);
    }
}

} // namespace

std::optional<forms::ChosenFile> SystemDialogs::openFile(HWND owner, const forms::FileDialog &dialog)
{
    return choose(owner, dialog, false);
}

std::optional<forms::ChosenFile> SystemDialogs::saveFile(HWND owner, const forms::FileDialog &dialog)
{
    return choose(owner, dialog, true);
}

bool SystemDialogs::confirm(HWND owner, const std::string &text, const std::string &accept,
                            const std::string &cancel)
{
    HWND shownOver = owner != nullptr && IsWindowVisible(owner) ? owner : nullptr;
    Captions captions{widen(accept), widen(cancel), nullptr};
    if (shownOver != nullptr && SetPropW(shownOver, kCaptionsProperty, &captions))
        captions.hook = SetWindowsHookExW(WH_CBT, &renameButtons, nullptr, GetCurrentThreadId());
    const int answer = MessageBoxW(shownOver, widen(text).c_str(), programTitle(), MB_OKCANCEL | MB_DEFBUTTON1);
    if (captions.hook != nullptr)
        UnhookWindowsHookEx(captions.hook);
    if (shownOver != nullptr)
        RemovePropW(shownOver, kCaptionsProperty);
    return answer == IDOK;
}

void SystemDialogs::waitFor(HWND owner, forms::Job &job)
{
    if (job.wait(forms::kProgressDelayMilliseconds))
        return;
    const bool enabled = owner != nullptr && IsWindowEnabled(owner);
    if (enabled)
        EnableWindow(owner, FALSE);
    ProgressWindow progress(job);
    progress.open(owner);
    bool quit = false;
    WPARAM quitCode = 0;
    // The program's events go on, a tick at a time, until the job ends
    // or the program does: the behaviour then decides what becomes of the job.
    bool released = false;
    while (!job.finished() && !quit) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(forms::kProgressTickMilliseconds), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit = true;
                quitCode = msg.wParam;
                continue;
            }
            if (progress.handle() != nullptr && IsDialogMessageW(progress.handle(), &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        // Once stopped, the work has nothing more to show: the window is the user's
        // again, as in the Qt program, even if a read the system does not interrupt
        // keeps the work from ending (then "Salir" ends the program).
        if (!released && job.cancelAsked()) {
            released = true;
            if (enabled)
                EnableWindow(owner, TRUE);
            progress.close();
        }
        progress.showProgress();
    }
    // The owner first, so that it becomes the active window again.
    if (enabled && !released)
        EnableWindow(owner, TRUE);
    progress.close();
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
    if (progress.error())
        std::rethrow_exception(progress.error());
}

} // namespace win32
