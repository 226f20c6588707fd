; The Windows installer: the console, kt6ctl.exe and both manuals, a Start-menu folder, and an
; uninstaller. It installs for the current user without administrator rights (the default), or
; for all users when run by an administrator who chooses so. Made by scripts/windows --window:
;   makensis -DVERSION=... -DBINDIR=... -DICON=... -DOUTFILE=... skarnel-kt6.nsi
;
; The layout is the installed one the console recognises (bin\ beside share\doc\skarnel-kt6\):
; its settings then live in %APPDATA%\skarnel, never in the program's folder, so the
; uninstaller removes only what it installed and the user's settings stay.
; A 64-bit installer for 64-bit programs: its own registry and folder views are the 64-bit ones,
; and 32-bit Windows refuses it before it starts (Wine needs no 32-bit part to run it either).
Target amd64-unicode
SetCompressor /SOLID lzma

!macro kt6_required NAME
  !ifndef ${NAME}
    !error "${NAME} must be defined (-D${NAME}=...)"
  !endif
!macroend
!insertmacro kt6_required VERSION
!insertmacro kt6_required BINDIR
!insertmacro kt6_required ICON
!insertmacro kt6_required OUTFILE

!define PRODUCT "SkarNel KT-6"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\SkarNel KT-6"
!define DOCDIR "share\doc\skarnel-kt6"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${PRODUCT}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallMode"
!include MultiUser.nsh
!include MUI2.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "2026 SkarNel KT-6 console team"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; No "run it now" box: after an elevated install the console would run as the administrator
; who elevated, and keep its settings in that account's %APPDATA%.

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Italian"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "${PRODUCT}" SecMain
  SectionIn RO
  SetOutPath "$INSTDIR\bin"
  File "${BINDIR}\skarnel-kt6.exe"
  File "${BINDIR}\kt6ctl.exe"
  SetOutPath "$INSTDIR\${DOCDIR}"
  File "${BINDIR}\manual.pdf"
  File "${BINDIR}\manuale.pdf"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; Start-menu folder: the console with its icon (from its own resources), the manuals and the
  ; uninstaller.
  CreateDirectory "$SMPROGRAMS\${PRODUCT}"
  SetOutPath "$PROFILE"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\bin\skarnel-kt6.exe" "" \
    "$INSTDIR\bin\skarnel-kt6.exe" 0
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Manual (English).lnk" "$INSTDIR\${DOCDIR}\manual.pdf"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Manuale (italiano).lnk" "$INSTDIR\${DOCDIR}\manuale.pdf"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

  ; SHCTX: HKCU for a per-user install, HKLM for all users.
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "SkarNel"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\bin\skarnel-kt6.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallMode" "$MultiUser.InstallMode"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Only what the installer put there goes; the settings in %APPDATA%\skarnel and any setup
; files the user saved stay, and a folder that still holds anything stays with it.
Section "Uninstall"
  Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Manual (English).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Manuale (italiano).lnk"
  Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
  RMDir "$SMPROGRAMS\${PRODUCT}"
  Delete "$INSTDIR\bin\skarnel-kt6.exe"
  Delete "$INSTDIR\bin\kt6ctl.exe"
  RMDir "$INSTDIR\bin"
  Delete "$INSTDIR\${DOCDIR}\manual.pdf"
  Delete "$INSTDIR\${DOCDIR}\manuale.pdf"
  RMDir "$INSTDIR\${DOCDIR}"
  RMDir "$INSTDIR\share\doc"
  RMDir "$INSTDIR\share"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
