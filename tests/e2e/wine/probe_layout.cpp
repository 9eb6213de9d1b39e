// vorteda_probe layout: the places of Vorteda's windows and controls, checked
// against pixels written out here.
#include "probe.h"
#include "win32/ControlIds.h"

#include <windows.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>

namespace probe {
namespace {

// The layout check: where each control must be, in pixels, written out here rather
// than taken from the program's own twips, so that a wrong twip value fails. They are
// the designed twips at the screen's dpi, rounded to the nearest pixel (15 twips a
// pixel at 96 dpi, 12 at 120, 10 at 144).
int failures = 0;

// What a row checks of a control sized to its text: its left or its right edge, and its top.
enum class Check { All, LeftTop, RightTop };

struct Pixels {
    int left;
    int top;
    int width;
    int height;
    int right; // the designed right edge (left plus width, rounded once)
};

// The window itself: its client area (the main window and the splash) or where its
// client area stands on the screen (the About window).
constexpr int kClient = 0;

struct Place {
    int id; // kClient, or the control's identifier
    const char *name;
    Pixels pixels;
    Check check;
};

// The main window; its controls relative to its client area.
const Place kPersonas96[] = {
    {kClient, "frmPersonas client", {0, 0, 418, 369, 418}, Check::All},
    {win32::kText1 + 0, "Text1(0)", {24, 48, 107, 28, 131}, Check::All},
    {win32::kLabelOfText1 + 0, "Label1", {24, 32, 97, 17, 121}, Check::All},
    {win32::kCmdButton + 0, "cmdAltas", {152, 56, 105, 33, 257}, Check::All},
    {win32::kText1 + 1, "Text1(1)", {24, 104, 105, 33, 129}, Check::All},
    {win32::kLabelOfText1 + 1, "Label3", {24, 88, 105, 17, 129}, Check::All},
    {win32::kCmdButton + 1, "cmdModificar", {152, 96, 105, 33, 257}, Check::All},
    {win32::kText1 + 2, "Text1(2)", {24, 160, 105, 33, 129}, Check::All},
    {win32::kLabelOfText1 + 2, "Label2", {24, 144, 105, 17, 129}, Check::All},
    {win32::kCmdButton + 2, "cmdBajas", {152, 136, 105, 33, 257}, Check::All},
    {win32::kText1 + 3, "Text1(3)", {24, 224, 105, 33, 129}, Check::All},
    {win32::kLabelOfText1 + 3, "Label4", {24, 200, 97, 17, 121}, Check::All},
    {win32::kCmdButton + 3, "cmdVerlista", {152, 176, 105, 33, 257}, Check::All},
    {win32::kText1 + 4, "Text1(4)", {24, 288, 105, 33, 129}, Check::All},
    {win32::kLabelOfText1 + 4, "Label5", {24, 264, 97, 17, 121}, Check::All},
    {win32::kCmdButton + 4, "cmdLimpiar", {152, 216, 105, 33, 257}, Check::All},
    {win32::kTxtBusqueda, "txtBusqueda", {288, 56, 105, 19, 393}, Check::All},
    {win32::kList1, "List1", {288, 80, 105, 160, 393}, Check::All},
    {win32::kLabel6, "Label6", {0, 336, 417, 25, 417}, Check::All},
};
const Place kPersonas120[] = {
    {kClient, "frmPersonas client", {0, 0, 523, 461, 523}, Check::All},
    {win32::kText1 + 0, "Text1(0)", {30, 60, 134, 35, 164}, Check::All},
    {win32::kLabelOfText1 + 0, "Label1", {30, 40, 121, 21, 151}, Check::All},
    {win32::kCmdButton + 0, "cmdAltas", {190, 70, 131, 41, 321}, Check::All},
    {win32::kText1 + 1, "Text1(1)", {30, 130, 131, 41, 161}, Check::All},
    {win32::kLabelOfText1 + 1, "Label3", {30, 110, 131, 21, 161}, Check::All},
    {win32::kCmdButton + 1, "cmdModificar", {190, 120, 131, 41, 321}, Check::All},
    {win32::kText1 + 2, "Text1(2)", {30, 200, 131, 41, 161}, Check::All},
    {win32::kLabelOfText1 + 2, "Label2", {30, 180, 131, 21, 161}, Check::All},
    {win32::kCmdButton + 2, "cmdBajas", {190, 170, 131, 41, 321}, Check::All},
    {win32::kText1 + 3, "Text1(3)", {30, 280, 131, 41, 161}, Check::All},
    {win32::kLabelOfText1 + 3, "Label4", {30, 250, 121, 21, 151}, Check::All},
    {win32::kCmdButton + 3, "cmdVerlista", {190, 220, 131, 41, 321}, Check::All},
    {win32::kText1 + 4, "Text1(4)", {30, 360, 131, 41, 161}, Check::All},
    {win32::kLabelOfText1 + 4, "Label5", {30, 330, 121, 21, 151}, Check::All},
    {win32::kCmdButton + 4, "cmdLimpiar", {190, 270, 131, 41, 321}, Check::All},
    {win32::kTxtBusqueda, "txtBusqueda", {360, 70, 131, 24, 491}, Check::All},
    {win32::kList1, "List1", {360, 100, 131, 200, 491}, Check::All},
    {win32::kLabel6, "Label6", {0, 420, 521, 31, 521}, Check::All},
};
const Place kPersonas144[] = {
    {kClient, "frmPersonas client", {0, 0, 627, 554, 627}, Check::All},
    {win32::kText1 + 0, "Text1(0)", {36, 72, 161, 42, 197}, Check::All},
    {win32::kLabelOfText1 + 0, "Label1", {36, 48, 146, 26, 182}, Check::All},
    {win32::kCmdButton + 0, "cmdAltas", {228, 84, 158, 50, 386}, Check::All},
    {win32::kText1 + 1, "Text1(1)", {36, 156, 158, 50, 194}, Check::All},
    {win32::kLabelOfText1 + 1, "Label3", {36, 132, 158, 26, 194}, Check::All},
    {win32::kCmdButton + 1, "cmdModificar", {228, 144, 158, 50, 386}, Check::All},
    {win32::kText1 + 2, "Text1(2)", {36, 240, 158, 50, 194}, Check::All},
    {win32::kLabelOfText1 + 2, "Label2", {36, 216, 158, 26, 194}, Check::All},
    {win32::kCmdButton + 2, "cmdBajas", {228, 204, 158, 50, 386}, Check::All},
    {win32::kText1 + 3, "Text1(3)", {36, 336, 158, 50, 194}, Check::All},
    {win32::kLabelOfText1 + 3, "Label4", {36, 300, 146, 26, 182}, Check::All},
    {win32::kCmdButton + 3, "cmdVerlista", {228, 264, 158, 50, 386}, Check::All},
    {win32::kText1 + 4, "Text1(4)", {36, 432, 158, 50, 194}, Check::All},
    {win32::kLabelOfText1 + 4, "Label5", {36, 396, 146, 26, 182}, Check::All},
    {win32::kCmdButton + 4, "cmdLimpiar", {228, 324, 158, 50, 386}, Check::All},
    {win32::kTxtBusqueda, "txtBusqueda", {432, 84, 158, 29, 590}, Check::All},
    {win32::kList1, "List1", {432, 120, 158, 240, 590}, Check::All},
    {win32::kLabel6, "Label6", {0, 504, 626, 38, 626}, Check::All},
};

// The splash at 96 dpi, and Frame1's controls relative to Frame1.
const Place kSplash96[] = {
    {kClient, "frmSplash client", {0, 0, 492, 283, 492}, Check::All},
    {win32::kFrame1, "Frame1", {8, 4, 472, 270, 480}, Check::All},
};
const Place kFrame1At96[] = {
    {win32::kImgLogo, "imgLogo", {24, 53, 97, 103, 121}, Check::All},
    {win32::kLblLicenseTo, "lblLicenseTo", {8, 16, 457, 17, 465}, Check::All},
    {win32::kLblCompanyProduct, "lblCompanyProduct", {157, 47, 133, 29, 290}, Check::LeftTop},
    {win32::kLblProductName, "lblProductName", {160, 76, 157, 45, 317}, Check::LeftTop},
    {win32::kLblPlatform, "lblPlatform", {211, 156, 246, 19, 457}, Check::RightTop},
    {win32::kLblVersion, "lblVersion", {394, 180, 63, 19, 457}, Check::RightTop},
    {win32::kLblCopyright, "lblCopyright", {304, 204, 161, 17, 465}, Check::All},
    {win32::kLblCompany, "lblCompany", {304, 218, 161, 17, 465}, Check::All},
    {win32::kLblWarning, "lblWarning", {16, 244, 449, 13, 465}, Check::All},
};

// The About window at 96 dpi: its client area on the screen, its controls within it.
const Place kAbout96[] = {
    {kClient, "frmAbout on screen", {156, 126, 382, 237, 538}, Check::All},
    {win32::kCmdOK, "cmdOK", {283, 175, 84, 23, 367}, Check::All},
    {win32::kCmdSysInfo, "cmdSysInfo", {284, 205, 83, 23, 367}, Check::All},
    {win32::kLblDescription, "lblDescription", {70, 75, 259, 78, 329}, Check::All},
    {win32::kLblTitle, "lblTitle", {72, 16, 259, 32, 331}, Check::All},
    {win32::kAboutLblVersion, "lblVersion", {70, 52, 259, 15, 329}, Check::All},
    {win32::kLblDisclaimer, "lblDisclaimer", {17, 175, 258, 55, 275}, Check::All},
};

int screenDpi()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

bool withinOne(long got, int expected)
{
    return std::labs(got - expected) <= 1;
}

void expect(const char *name, const RECT &got, const Pixels &want, Check check)
{
    bool ok = withinOne(got.top, want.top);
    if (check != Check::RightTop)
        ok = ok && withinOne(got.left, want.left);
    if (check != Check::LeftTop)
        ok = ok && withinOne(got.right, want.right);
    if (check == Check::All)
        ok = ok && withinOne(got.right - got.left, want.width) && withinOne(got.bottom - got.top, want.height);
    std::printf("%s %-20s got %s designed [%d,%d,%d,%d]%s\n", ok ? "ok " : "BAD", name, rectJson(got).c_str(),
                want.left, want.top, want.width, want.height,
                check == Check::LeftTop    ? " (sized to text: left and top)"
                : check == Check::RightTop ? " (sized to text: right and top)"
                                           : "");
    if (!ok)
        ++failures;
}

RECT clientSize(HWND window)
{
    RECT rect;
    GetClientRect(window, &rect);
    return rect;
}

// Checks `window` against `places`; `controls` is the window that holds the controls
// (Frame1 for the splash's).
template <std::size_t N>
void expectWindow(HWND window, HWND controls, const Place (&places)[N], bool clientOnTheScreen = false)
{
    for (const Place &place : places) {
        if (place.id == kClient) {
            expect(place.name, clientOnTheScreen ? clientOnScreen(window) : clientSize(window), place.pixels,
                   place.check);
            continue;
        }
        HWND control = GetDlgItem(controls, place.id);
        if (control == nullptr) {
            std::printf("BAD %-20s missing\n", place.name);
            ++failures;
            continue;
        }
        expect(place.name, placeInParent(control), place.pixels, place.check);
    }
}

} // namespace

int layout()
{
    const int dpi = screenDpi();
    int windows = 0;
    if (HWND main = FindWindowW(win32::kPersonasClass, nullptr)) {
        ++windows;
        if (dpi == 96)
            expectWindow(main, main, kPersonas96);
        else if (dpi == 120)
            expectWindow(main, main, kPersonas120);
        else if (dpi == 144)
            expectWindow(main, main, kPersonas144);
        else {
            std::printf("BAD frmPersonas: no pixels written here for %d dpi\n", dpi);
            ++failures;
        }
    }
    if (HWND splash = FindWindowW(win32::kSplashClass, nullptr)) {
        ++windows;
        if (dpi == 96) {
            expectWindow(splash, splash, kSplash96);
            expectWindow(splash, GetDlgItem(splash, win32::kFrame1), kFrame1At96);
        } else {
            std::printf("BAD frmSplash: no pixels written here for %d dpi\n", dpi);
            ++failures;
        }
    }
    if (HWND about = FindWindowW(win32::kAboutClass, nullptr)) {
        ++windows;
        if (dpi == 96) {
            expectWindow(about, about, kAbout96, true);
        } else {
            std::printf("BAD frmAbout: no pixels written here for %d dpi\n", dpi);
            ++failures;
        }
    }
    if (windows == 0) {
        std::printf("BAD no window of Vorteda is open\n");
        return 1;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace probe
