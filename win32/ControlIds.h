#pragma once

// Control and command identifiers of the Win32 windows, shared with the probe that
// reads the windows back. None is IDOK (1) or IDCANCEL (2): those are what the
// dialog keys Enter and Escape send.
namespace win32 {

// Resources.
inline constexpr int kIconLogo = 1;
inline constexpr int kIconMagnet = 2;

// Window classes.
inline constexpr wchar_t kPersonasClass[] = L"Vorteda.frmPersonas";
inline constexpr wchar_t kSplashClass[] = L"Vorteda.frmSplash";
inline constexpr wchar_t kAboutClass[] = L"Vorteda.frmAbout";
inline constexpr wchar_t kFrameClass[] = L"Vorteda.Frame";

// frmPersonas.
inline constexpr int kText1 = 100; // Text1(i) is kText1 + i
inline constexpr int kLabelOfText1 = 110; // the caption above Text1(i)
inline constexpr int kCmdButton = 120; // the five buttons, top to bottom
inline constexpr int kTxtBusqueda = 130;
inline constexpr int kList1 = 131;
inline constexpr int kLabel6 = 132;
inline constexpr int kSearchName = 133; // the search box's name, a label of no size
inline constexpr int kListName = 134;   // List1's name, a label of no size
inline constexpr int kMnuSalir = 140;
inline constexpr int kMnuAbout = 141;
inline constexpr int kMnuImportar = 142;
inline constexpr int kMnuExportar = 143;
// Posted to frmPersonas: import the file handed to the program.
inline constexpr unsigned kImportHandedFile = 0x8000 + 1; // WM_APP + 1

// frmSplash.
inline constexpr int kFrame1 = 200;
inline constexpr int kImgLogo = 201;
inline constexpr int kLblLicenseTo = 202;
inline constexpr int kLblCompanyProduct = 203;
inline constexpr int kLblProductName = 204;
inline constexpr int kLblPlatform = 205;
inline constexpr int kLblVersion = 206;
inline constexpr int kLblCopyright = 207;
inline constexpr int kLblCompany = 208;
inline constexpr int kLblWarning = 209;

// frmAbout.
inline constexpr int kCmdOK = 300;
inline constexpr int kCmdSysInfo = 301;
inline constexpr int kLblDescription = 302;
inline constexpr int kLblTitle = 303;
inline constexpr int kAboutLblVersion = 304;
inline constexpr int kLblDisclaimer = 305;

} // namespace win32
