#include "win32/HandOver.h"

#include "forms/HandOver.h"
#include "forms/Program.h"
#include "win32/ControlIds.h"

#include <string>

namespace win32 {

namespace {

// WM_COPYDATA's dwData for a handed file, so that no other copy of data is taken for one.
constexpr ULONG_PTR kHandedFile = 0x566f7274; // "Vort"
// Long enough for a program busy loading a large list: a message that times out is
// still taken later, when the second start has gone on alone. One that stopped
// answering altogether is passed over at once (SMTO_ABORTIFHUNG).
constexpr UINT kAnswerMs = 30000;

} // namespace

bool handToRunningProgram(const std::filesystem::path &dataFile, const std::filesystem::path &file)
{
    const std::string message = forms::handOverMessage(dataFile, file);
    COPYDATASTRUCT data{};
    data.dwData = kHandedFile;
    data.cbData = static_cast<DWORD>(message.size());
    data.lpData = const_cast<char *>(message.data());
    // The main window first; a program still showing its splash takes the file for later.
    for (const wchar_t *cls : {kPersonasClass, kSplashClass}) {
        HWND window = nullptr;
        while ((window = FindWindowExW(nullptr, window, cls, nullptr)) != nullptr) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId())
                continue;
            // The user started this one: it may let that one come to the front.
            AllowSetForegroundWindow(process);
            DWORD_PTR taken = 0;
            if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                                    SMTO_ABORTIFHUNG | SMTO_NORMAL, kAnswerMs, &taken)
                != 0
                && taken == 1)
                return true;
        }
    }
    return false;
}

LRESULT takeHandedFile(forms::Program &program, const std::filesystem::path &dataFile, LPARAM copyData)
{
    const auto *data = reinterpret_cast<const COPYDATASTRUCT *>(copyData);
    if (data == nullptr || data->dwData != kHandedFile || (data->lpData == nullptr && data->cbData != 0))
        return 0;
    const std::optional<std::filesystem::path> file =
        forms::handedFile(std::string_view(static_cast<const char *>(data->lpData), data->cbData), dataFile);
    return file && program.fileHanded(*file) ? 1 : 0;
}

} // namespace win32
