; The Windows installer: the two programs with Qt, hidapi and the compiler's
; runtime, the default configuration beside the program, a Start-menu entry and
; an uninstaller. makensis -DVERSION=x.y.z -DSOURCE=folder -DOUTFILE=setup.exe installer.nsi
; A 64-bit installer for 64-bit programs: it needs no 32-bit half of Windows (or of wine).
Target amd64-unicode
!include "MUI2.nsh"

Name "QORV Config ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\QORV Config"
InstallDirRegKey HKLM "Software\QORV Config" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ICON "${SOURCE}\qorv-config.ico"
!define MUI_UNICON "${SOURCE}\qorv-config.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "English"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QORV Config"

Section "QORV Config"
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteRegStr HKLM "Software\QORV Config" "InstallDir" "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\QORV Config.lnk" "$INSTDIR\qorv-config.exe" "" "$INSTDIR\qorv-config.exe" 0
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "QORV Config"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Marbeno Soft"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qorv-config.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    Delete "$SMPROGRAMS\QORV Config.lnk"
    RMDir /r "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    DeleteRegKey HKLM "Software\QORV Config"
SectionEnd
