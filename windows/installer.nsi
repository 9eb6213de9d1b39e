; The Windows installer: Vorteda for the user who runs it, without administrator
; rights, in %LOCALAPPDATA%\Programs\Vorteda, with a Start-menu shortcut and an entry
; in "Apps & features". The contacts are never the installer's: the installed
; program keeps them in %LOCALAPPDATA%\Vorteda, which installing again (a newer
; version over an older one) and uninstalling leave as they are.
;
; Built by CMake (target vorteda_windows_installer) with Debian's makensis:
;   makensis -DVERSION=1.3.3 -DVERSION_TEXT=1.03.0003 -DPUBLISHER=Brimacor
;            -DPROGRAMS=<folder with the installed build's two programs>
;            -DLEEME=<LEEME.txt> -DICON=<vorteda.ico> -DDESINSTALAR=<desinstalar.exe>
;            -DOUTFILE=<setup.exe> installer.nsi
;
; Uninstalling waits for the uninstaller: desinstalar.exe, which "Apps & features"
; and the QuietUninstallString run, is a small program of ours (desinstalar.cpp)
; that runs a temporary copy of NSIS's uninstaller (desinstalar.dat) with _?= and
; waits for it, so that its status (3: Vorteda is open, nothing removed) reaches the
; caller. Run as it is, NSIS's uninstaller would copy itself away and return 0 at once.

Unicode true
Target amd64-unicode
ManifestSupportedOS all
ManifestDPIAware true
; For the user alone: no elevation, nothing outside the user's own folders and keys.
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Vorteda"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define PROGID "Vorteda.Contactos"
!define PROGID_KEY "Software\Classes\${PROGID}"
!define VCF_VERB_KEY "Software\Classes\SystemFileAssociations\.vcf\shell\Vorteda"
!define UNINSTALLER "desinstalar.exe"
!define UNINSTALLER_PROPER "desinstalar.dat"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; A newer version goes where the older one is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PUBLISHER}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Instalador de ${PRODUCT}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION_TEXT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION_TEXT}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Vorteda.exe"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"

; A running Vorteda.exe cannot be replaced or removed: it is to be closed first (its
; contacts are already saved: every change is written when it is made). A silent run
; stops at once, changing nothing.
!macro CLOSE_VORTEDA_FIRST
    retry:
        FindWindow $0 "Vorteda.frmPersonas"
        StrCmp $0 0 0 running
        FindWindow $0 "Vorteda.frmAbout"
        StrCmp $0 0 0 running
        FindWindow $0 "Vorteda.frmSplash"
        StrCmp $0 0 done running
    running:
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "Vorteda está abierto. Ciérrelo (sus contactos ya están guardados) y pulse Reintentar." \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 3
        Quit
    done:
!macroend

Function .onInit
    SetShellVarContext current
    !insertmacro CLOSE_VORTEDA_FIRST
FunctionEnd

Function un.onInit
    SetShellVarContext current
    !insertmacro CLOSE_VORTEDA_FIRST
FunctionEnd

Section "Vorteda"
    SetOutPath "$INSTDIR"
    ; Files of an older version are replaced (.onInit made sure none is running).
    File "/oname=Vorteda.exe" "${PROGRAMS}/Vorteda.exe"
    File "/oname=vorteda-contactos.exe" "${PROGRAMS}/vorteda-contactos.exe"
    File "/oname=LEEME.txt" "${LEEME}"
    File "/oname=${UNINSTALLER}" "${DESINSTALAR}"
    WriteUninstaller "$INSTDIR\${UNINSTALLER_PROPER}"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Vorteda.exe" "" "$INSTDIR\Vorteda.exe" 0 \
        SW_SHOWNORMAL "" "Agenda de contactos"

    ; "Apps & features", for this user.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_TEXT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Vorteda.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; "Abrir con Vorteda" for contact files (.vcf), for this user only: a verb in the
    ; files' context menu whatever program opens them by default, and Vorteda among
    ; the programs "Abrir con" offers. The default program stays the user's choice.
    WriteRegStr HKCU "${VCF_VERB_KEY}" "" "Abrir con Vorteda"
    WriteRegStr HKCU "${VCF_VERB_KEY}" "Icon" "$INSTDIR\Vorteda.exe,0"
    WriteRegStr HKCU "${VCF_VERB_KEY}\command" "" '"$INSTDIR\Vorteda.exe" "%1"'
    WriteRegStr HKCU "${PROGID_KEY}" "" "Contactos (vCard)"
    WriteRegStr HKCU "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\Vorteda.exe,0"
    WriteRegStr HKCU "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\Vorteda.exe" "%1"'
    WriteRegStr HKCU "Software\Classes\.vcf\OpenWithProgids" "${PROGID}" ""
SectionEnd

Section "Uninstall"
    ; Only what the installer put here, by name: never the folder as a whole, and
    ; never %LOCALAPPDATA%\Vorteda, where the contacts are.
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\Vorteda.exe"
    Delete "$INSTDIR\vorteda-contactos.exe"
    Delete "$INSTDIR\LEEME.txt"
    ; This runs from a temporary copy; desinstalar.exe, waiting for it, removes itself
    ; and the folder once it has ended (and here when this was run otherwise).
    Delete "$INSTDIR\${UNINSTALLER_PROPER}"
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    DeleteRegKey HKCU "${VCF_VERB_KEY}"
    DeleteRegKey HKCU "${PROGID_KEY}"
    DeleteRegValue HKCU "Software\Classes\.vcf\OpenWithProgids" "${PROGID}"
SectionEnd
