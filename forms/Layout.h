#pragma once

#include "version/Version.h"

#include <string>

// The three windows' designed places, in twips (1/1440 inch), for every view of
// them: 15 twips make one pixel at 96 dots per inch. Positions are relative to the
// client area of the window, or of Frame1 for the splash's controls.
namespace forms {

struct TwipRect {
    int left;
    int top;
    int width;
    int height;
};

struct TwipPoint {
    int x;
    int y;
};

// A colour as red, green and blue, 0 to 255 each.
struct Colour {
    int red;
    int green;
    int blue;
};

// A label's font: its face, its size in points and whether it is bold.
struct Font {
    const char *face;
    double points;
    bool bold;
};

inline constexpr int kTwipsPerInch = 1440;

// Rounded to the nearest pixel, halves away from zero, as the windows have always been.
constexpr int twipsToPixels(int twips, int dpi = 96)
{
    const long long scaled = static_cast<long long>(twips) * dpi * 2;
    const long long whole = scaled / kTwipsPerInch;
    return static_cast<int>(whole >= 0 ? (whole + 1) / 2 : (whole - 1) / 2);
}

// Points (1/72 inch) at `dpi`, rounded to whole pixels.
constexpr int pointsToPixels(double points, int dpi = 96)
{
    const double pixels = points * dpi / 72.0;
    return static_cast<int>(pixels + 0.5);
}

namespace personas {

inline constexpr TwipRect kClientArea{0, 0, 6270, 5535};

struct FieldPlace {
    const char *labelName;
    const char *caption;
    const char *accessibleName; // what a screen reader calls the field
    TwipRect label;
    TwipRect field;
};

// The five contact fields, in record field order; each caption stands above its field.
inline constexpr FieldPlace kFields[5] = {
    {"Label1", "Apellido:", "Apellido", {360, 480, 1455, 255}, {360, 720, 1605, 420}},
    {"Label3", "Nombre:", "Nombre", {360, 1320, 1575, 255}, {360, 1560, 1575, 495}},
    {"Label2", "Dirección:", "Dirección", {360, 2160, 1575, 255}, {360, 2400, 1575, 495}},
    {"Label4", "Teléfono", "Teléfono", {360, 3000, 1455, 255}, {360, 3360, 1575, 495}},
    {"Label5", "E-mail", "E-mail", {360, 3960, 1455, 255}, {360, 4320, 1575, 495}},
};

struct ButtonPlace {
    const char *name;
    const char *caption;
    TwipRect place;
};

// Top to bottom, which is also their tab order.
inline constexpr ButtonPlace kButtons[5] = {
    {"cmdAltas", "Agregar contacto", {2280, 840, 1575, 495}},
    {"cmdModificar", "Modificar contacto", {2280, 1440, 1575, 495}},
    {"cmdBajas", "Eliminar contacto", {2280, 2040, 1575, 495}},
    {"cmdVerlista", "Cargar lista de contactos", {2280, 2640, 1575, 495}},
    {"cmdLimpiar", "Limpiar", {2280, 3240, 1575, 495}},
};

inline constexpr TwipRect kSearchBox{4320, 840, 1575, 285};
// What a screen reader calls the search box, which shows no caption.
inline constexpr char kSearchName[] = "Buscar apellido";
// List1's name for a screen reader.
inline constexpr char kListName[] = "Lista de contactos";
inline constexpr TwipRect kList{4320, 1200, 1575, 2400};
inline constexpr TwipRect kHelpLine{0, 5040, 6255, 375};
inline constexpr double kHelpLinePoints = 9.75;
inline constexpr char kHelpLinePrefix[] = "Para obtener ayuda, visite ";
inline constexpr char kHelpPage[] = "/vorteda/ayuda";
// The whole line: the prefix, the maker's web address and the help page.
inline std::string helpLine()
{
    return std::string(kHelpLinePrefix) + version::kWebAddress + kHelpPage;
}

inline constexpr char kArchivoMenu[] = "&Archivo";
// Above a separator and "Salir".
inline constexpr char kImportarItem[] = "&Importar contactos...";
inline constexpr char kExportarItem[] = "&Exportar contactos...";
inline constexpr char kSalirItem[] = "Salir";
inline constexpr char kAyudaMenu[] = "Ayuda";
inline constexpr char kAboutItem[] = "Acerca...";

} // namespace personas

namespace splash {

inline constexpr TwipRect kClient{0, 0, 7380, 4245};
inline constexpr TwipRect kFrame1{120, 60, 7080, 4050};
// Inside Frame1:
inline constexpr TwipRect kImgLogo{360, 795, 1455, 1545};
inline constexpr TwipRect kLblLicenseTo{120, 240, 6855, 255};
inline constexpr TwipRect kLblCompanyProduct{2355, 705, 1995, 435};
inline constexpr TwipRect kLblProductName{2400, 1140, 2355, 675};
inline constexpr TwipRect kLblPlatform{3165, 2340, 3690, 285};
inline constexpr TwipRect kLblVersion{5910, 2700, 945, 285};
inline constexpr TwipRect kLblCopyright{4560, 3060, 2415, 255};
inline constexpr TwipRect kLblCompany{4560, 3270, 2415, 255};
inline constexpr TwipRect kLblWarning{240, 3660, 6735, 195};

inline constexpr int kMilliseconds = 1500;

// Orange around Frame1; Frame1 and its labels dark red.
inline constexpr Colour kBackColour{255, 128, 0};
inline constexpr Colour kFrameColour{192, 0, 0};
// lblLicenseTo, lblCopyright, lblCompany and lblWarning.
inline constexpr Font kSmallFont{"Arial", 8.25, false};
inline constexpr Font kCompanyProductFont{"Arial", 18, true};
inline constexpr Font kProductNameFont{"Verdana", 27.75, true};
// lblPlatform and lblVersion.
inline constexpr Font kPlatformFont{"Arial", 12, true};

inline constexpr char kLicenseTo[] = "Licencia para uso personal";
inline constexpr char kCompanyProduct[] = "Brimacor™";
inline constexpr char kPlatform[] = "Para Windows 95/98/NT/2000/XP";
inline constexpr char kCopyright[] = "Copyright © 2004 Brimacor";
inline constexpr char kCompany[] = "Brimacor Company";
inline constexpr char kWarning[] =
    "Advertencia: este programa está protegido por las leyes de propiedad intelectual.";

} // namespace splash

namespace about {

inline constexpr char kCaption[] = "Acerca del autor";
// On the screen: the client area's top-left corner and size.
inline constexpr TwipRect kClient{2340, 1890, 5730, 3555};
inline constexpr TwipRect kCmdOK{4245, 2625, 1260, 345};
inline constexpr TwipRect kCmdSysInfo{4260, 3075, 1245, 345};
inline constexpr TwipPoint kLine1_1From{90, 2445};
inline constexpr TwipPoint kLine1_1To{5654, 2445};
inline constexpr TwipRect kLblDescription{1050, 1125, 3885, 1170};
inline constexpr TwipRect kLblTitle{1080, 240, 3885, 480};
inline constexpr TwipPoint kLine1_0From{105, 2460};
inline constexpr TwipPoint kLine1_0To{5654, 2460};
// The etched separator: a grey line of one pixel, a white one of two just below.
inline constexpr Colour kLine1_1Colour{128, 128, 128};
inline constexpr int kLine1_1Width = 1;
inline constexpr Colour kLine1_0Colour{255, 255, 255};
inline constexpr int kLine1_0Width = 2;
inline constexpr TwipRect kLblVersion{1050, 780, 3885, 225};
inline constexpr TwipRect kLblDisclaimer{255, 2625, 3870, 825};

inline constexpr char kOK[] = "OK";
inline constexpr char kSysInfo[] = "&System Info...";
inline constexpr char kDescription[] =
    "Muchas gracias por usar este programa. Para más información, ayuda, trucos y más visite ";
inline constexpr char kDisclaimer[] =
    "Este programa está protegido por las leyes de derechos de autor y no puede copiarse sin permiso.";

} // namespace about

} // namespace forms
