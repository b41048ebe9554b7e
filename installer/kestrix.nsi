; KestrixSetup-<version>.exe: installs Kestrix for the current user, without
; administrator rights, into a folder the user can write (the checker keeps
; its data files beside its program). Built by `make dist`:
;   makensis -DVERSION=1.2.3.4 -DSTAGE=<folder of the shipped files> -DOUTFILE=<setup.exe>
;            -DICON=<kestrix.ico> kestrix.nsi
; /S installs silently; the uninstaller's /S removes silently and keeps the
; data, unless /REMOVEDATA asks for it to go as well.

!ifndef VERSION | STAGE | OUTFILE | ICON
  !error "Define VERSION, STAGE, OUTFILE and ICON"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!define PRODUCT "Kestrix"
!define PUBLISHER "Kestrix, Inc."
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrix"
!define PRODUCT_KEY "SOFTWARE\Kestrix, Inc.\Kestrix"
!define CHECKER_TITLE "Kestrix Email Checker"
!define DIALOG_CLASS "#32770"
!define ID_EXIT 40013
; How long a running checker may take to save and end after Exit.
!define EXIT_WAIT_MS 30000

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Kestrix"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\kestrix.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Kestrix"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\kestrix.chm"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the help"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Ends a running checker as File > Exit does, so that it saves its accounts,
; read marks and settings, and waits until its process is gone. A checker is
; never killed: when it does not end (a dialog of it is open, or it asks
; about messages marked for deletion), the user is asked to end it; a silent
; run gives up. Sets $0 to "ok", or to "running" when the checker still runs
; (the caller then changes nothing). Uses $1 to $3.
!macro DEFINE_CLOSE_CHECKER PREFIX
Function ${PREFIX}CloseChecker
  again:
  FindWindow $0 "${DIALOG_CLASS}" "${CHECKER_TITLE}"
  StrCmp $0 0 gone
  DetailPrint "Ending the running Kestrix..."
  StrCpy $1 0
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
  ; SYNCHRONIZE: enough to wait for the process, nothing more.
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
  System::Call 'user32::PostMessageW(p r0, i ${WM_COMMAND}, p ${ID_EXIT}, p 0)'
  StrCmp $2 0 watch_window
  System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r3'
  System::Call 'kernel32::CloseHandle(p r2)'
  Goto waited
  watch_window:
  ; Without a handle of the process, watch its window.
  StrCpy $3 0
  watch_again:
  IsWindow $0 0 waited
  IntCmp $3 ${EXIT_WAIT_MS} waited 0 waited
  Sleep 250
  IntOp $3 $3 + 250
  Goto watch_again
  waited:
  IsWindow $0 0 again
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
    "Kestrix is still running. Close its open windows (or answer its question) and end it with File > Exit, then press Retry." \
    /SD IDCANCEL IDRETRY again
  StrCpy $0 "running"
  Return
  gone:
  ; The window goes before the process: wait for the process's single-instance lock to go as well.
  StrCpy $3 0
  lock_again:
  System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\${CHECKER_TITLE}") p .r1'
  StrCmp $1 0 ended
  System::Call 'kernel32::CloseHandle(p r1)'
  IntCmp $3 ${EXIT_WAIT_MS} still_locked 0 still_locked
  Sleep 250
  IntOp $3 $3 + 250
  Goto lock_again
  still_locked:
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Kestrix is still ending. Press Retry when it has ended." \
    /SD IDCANCEL IDRETRY again
  StrCpy $0 "running"
  Return
  ended:
  StrCpy $0 "ok"
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_CHECKER ""
!insertmacro DEFINE_CLOSE_CHECKER "un."

Section "Kestrix" SecProgram
  SectionIn RO
  SetShellVarContext current
  Call CloseChecker
  ${If} $0 != "ok"
    Abort "Kestrix is still running; nothing was installed."
  ${EndIf}

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${STAGE}/kestrix.exe"
  File "${STAGE}/kxcheck.exe"
  File "${STAGE}/KestrixScreenSaver.scr"
  File "${STAGE}/kestrix.chm"
  File "${STAGE}/tips.txt"
  File "${STAGE}/kestrix.wav"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\Kestrix.lnk" "$INSTDIR\kestrix.exe" "" "$INSTDIR\kestrix.exe" 0 SW_SHOWNORMAL "" "Kestrix mail checker"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kestrix.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; The same shortcut as the settings' "Add Kestrix in Win Startup", and the
; setting itself, so that the settings show what is true.
Section "Start with Windows" SecStartup
  SetShellVarContext current
  CreateShortcut "$SMSTARTUP\kestrix.lnk" "$INSTDIR\kestrix.exe" "" "" 0 SW_SHOWNORMAL "" "Kestrix"
  WriteRegDWORD HKCU "${PRODUCT_KEY}\Settings" "WinStartup" 1
SectionEnd

Function .onInit
  SetShellVarContext current
  ; An update keeps the user's choice about starting with Windows.
  ${If} ${FileExists} "$INSTDIR\kestrix.exe"
  ${AndIfNot} ${FileExists} "$SMSTARTUP\kestrix.lnk"
    SectionSetFlags ${SecStartup} 0
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  ; Unticked on an update: the user no longer wants it.
  ${IfNot} ${SectionIsSelected} ${SecStartup}
  ${AndIf} ${FileExists} "$SMSTARTUP\kestrix.lnk"
    Delete "$SMSTARTUP\kestrix.lnk"
    WriteRegDWORD HKCU "${PRODUCT_KEY}\Settings" "WinStartup" 0
  ${EndIf}
FunctionEnd

Section "un.Kestrix" UnSecProgram
  SectionIn RO
  SetShellVarContext current
  Call un.CloseChecker
  ${If} $0 != "ok"
    Abort "Kestrix is still running; nothing was removed."
  ${EndIf}

  Delete "$INSTDIR\kestrix.exe"
  Delete "$INSTDIR\kxcheck.exe"
  Delete "$INSTDIR\KestrixScreenSaver.scr"
  Delete "$INSTDIR\kestrix.chm"
  Delete "$INSTDIR\tips.txt"
  Delete "$INSTDIR\kestrix.wav"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\Kestrix.lnk"
  Delete "$SMSTARTUP\kestrix.lnk"

  ; The screen saver in use goes with the program.
  ReadRegStr $0 HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  GetFullPathName /SHORT $1 "$INSTDIR"
  ${If} $0 == "$INSTDIR\KestrixScreenSaver.scr"
  ${OrIf} $0 == "$1\KESTRI~1.SCR"
  ${OrIf} $0 == "$1\KestrixScreenSaver.scr"
    DeleteRegValue HKCU "Control Panel\Desktop" "SCRNSAVE.EXE"
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Also remove my accounts, filters, read marks, log and settings" UnSecData
  Delete "$INSTDIR\kestrix.dat"
  Delete "$INSTDIR\*.msg"
  Delete "$INSTDIR\from.dat"
  Delete "$INSTDIR\subject.dat"
  Delete "$INSTDIR\to.dat"
  Delete "$INSTDIR\size.dat"
  Delete "$INSTDIR\friends.dat"
  Delete "$INSTDIR\spammers.dat"
  Delete "$INSTDIR\power.dat"
  Delete "$INSTDIR\virus.dat"
  Delete "$INSTDIR\kestrix.log"
  ; Temporary copies a crash may have left while a file was being replaced.
  Delete "$INSTDIR\*.tmp*"
  DeleteRegKey HKCU "${PRODUCT_KEY}"
  DeleteRegKey /ifempty HKCU "SOFTWARE\Kestrix, Inc."
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVEDATA" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${UnSecData} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

Section "-un.Folder"
  ; Stays when it still holds the user's data or files of their own.
  RMDir "$INSTDIR"
SectionEnd
