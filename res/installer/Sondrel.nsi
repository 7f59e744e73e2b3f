; The installer of one architecture, built by scripts/release.sh with makensis:
;   makensis -DVERSION=1.0.0.0 -DDISPLAY_VERSION=1.0.0 -DARCH=win64 -DSTAGE=<program folder>
;            -DHELP_FILES=<HelpFiles.nsh> -DICON=<sondrel.ico> -DOUTFILE=<setup.exe> Sondrel.nsi
; STAGE holds the program's files as they ship. HELP_FILES, written by release.sh, holds the
; macros InstallHelpFiles and UninstallHelpFiles with a File and a Delete line per file of the
; help folder, so that the uninstaller removes exactly what was installed and never a file of
; the user's (recordings may lie in the program's folder).
;
; Per user and without administrator rights: the program keeps Sondrel.cfg beside itself,
; so it goes into the user's own programs folder, which the user can write.
Unicode true
!if "${ARCH}" == "win64"
  Target amd64-unicode
!endif

!include "FileFunc.nsh"
!include "${HELP_FILES}"

!define PRODUCT "Velmora Sondrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Sondrel"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Sondrel"
SetCompressor /SOLID lzma
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "Velmora"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 Velmora"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; A running Sondrel holds its files open and writes Sondrel.cfg when it ends: replacing or
; removing the program under it would leave half of each. Every running copy holds this
; mutex. Silent runs give up at once.
!macro CloseSondrelFirst
  retry:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "VelmoraSondrelMutex") p .r0'
  StrCmp $0 0 not_running
  System::Call 'kernel32::CloseHandle(p r0)'
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY retry
  Abort
  not_running:
!macroend

Function .onInit
  SetShellVarContext current
  !insertmacro CloseSondrelFirst
FunctionEnd

Function un.onInit
  SetShellVarContext current
  !insertmacro CloseSondrelFirst
FunctionEnd

Section "Sondrel"
  SetOutPath "$INSTDIR"
  File "${STAGE}/Sondrel.exe"
  File "${STAGE}/SondrelFilters.dll"
  !insertmacro InstallHelpFiles
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The program makes its filters available to itself at start: nothing is registered.
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Sondrel.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${DISPLAY_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Velmora"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Sondrel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes the program's own files by name, the settings and a crash report among them, and
; the folders only when they are empty: recordings and whatever else the user put there stay.
Section "Uninstall"
  Delete "$INSTDIR\Sondrel.exe"
  Delete "$INSTDIR\SondrelFilters.dll"
  Delete "$INSTDIR\Sondrel.cfg"
  Delete "$INSTDIR\Crash.rpt"
  !insertmacro UninstallHelpFiles
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
