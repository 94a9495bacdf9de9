; The installer of Pressory for Windows: per user (no administrator), into
; %LOCALAPPDATA%\Programs\Pressory unless another folder is chosen; a
; Start-menu shortcut, and one in the Startup folder when "start at sign-in"
; is chosen (off by default). The uninstaller removes the program's own files
; only: the history, the settings and whatever else the person keeps in the
; folder stay where they are. /S installs and uninstalls silently; /STARTUP
; with it chooses the sign-in shortcut.
;
; makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DSOURCE=<program folder> -DOUTFILE=<setup.exe> -DICON=pressory.ico pressory.nsi
; (scripts/build-windows does this; <program folder>-files.nsh lists the files to remove.)

Unicode true
; The program is 64-bit only, and so is the installer (it also runs where only 64-bit programs do).
Target amd64-unicode
!ifndef VERSION | SOURCE | OUTFILE | ICON
  !error "VERSION, SOURCE, OUTFILE and ICON must be defined"
!endif

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"

Name "Pressory"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Pressory"
InstallDirRegKey HKCU "Software\Pressory" "InstallDir"
SetCompressor /SOLID lzma
BrandingText "Pressory ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1041 "ProductName" "Pressory"
VIAddVersionKey /LANG=1041 "FileDescription" "Pressory セットアップ"
VIAddVersionKey /LANG=1041 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1041 "CompanyName" "Pressory Project"
VIAddVersionKey /LANG=1041 "LegalCopyright" "Pressory Project"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Pressory"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\Pressory.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Japanese"

Section "Pressory" SecProgram
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortCut "$SMPROGRAMS\Pressory.lnk" "$INSTDIR\Pressory.exe"
  WriteRegStr HKCU "Software\Pressory" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Pressory"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Pressory Project"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Pressory.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off unless chosen: the program starts when the person signs in.
Section /o "サインイン時に起動する" SecStartup
  SetShellVarContext current
  CreateShortCut "$SMSTARTUP\Pressory.lnk" "$INSTDIR\Pressory.exe"
SectionEnd

; /STARTUP on the command line ticks the sign-in shortcut (for /S, which shows no page).
Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/STARTUP" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SecStartup}
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Pressory.lnk"
  Delete "$SMSTARTUP\Pressory.lnk"
  ; The installed files by name; the folders only when nothing else is left in them.
  !include "${SOURCE}-files.nsh"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Pressory"
SectionEnd
