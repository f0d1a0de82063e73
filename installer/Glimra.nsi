; The Windows installer and uninstaller. Built by installer/build-installer.sh,
; which defines VERSION (a.b.c.d), OUTFILE, ICON and FILES (an include listing
; everything in the dist folder as InstallFiles / UninstallFiles macros).
;
; Command line (besides NSIS's own /S and /D=):
;   /NORUN   with /S: do not start the program after installing.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include "${FILES}"

!define PRODUCT "Vantrel Glimra"
!define PUBLISHER "Vantrel"
!define EXE "Vantrel Glimra.exe"
!define UNINSTALLER "Uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define SETTINGS_KEY "SOFTWARE\${PRODUCT}"
!define DATA_FOLDER "${PRODUCT} Files"
; The update staging folder below the machine-wide program data folder.
!define STAGING_FOLDER "${PRODUCT} Update"
; Whatever folder the user picks: owner Administrators, SYSTEM and the
; Administrators full control, Users read and execute, nothing inherited from
; above (a folder such as D:\Glimra would inherit "Users: modify").
!define INSTALL_FOLDER_SDDL "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
!define TASK "GLIMRA StartupTask"
; The program's window carries this property; its tray "Exit" is WM_COMMAND 100.
!define WINDOW_PROPERTY "${PRODUCT}"
!define INSTANCE_MUTEX "${PRODUCT}"
!define EXIT_COMMAND 100
; How long a running instance gets to end after being asked (250 ms steps).
!define EXIT_WAIT_STEPS 120
!define /math EXIT_WAIT_MS ${EXIT_WAIT_STEPS} * 250

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "The program is removed. Tick $\"My settings$\" to remove your settings and downloads as well."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Ends a running instance the way its tray "Exit" does, so that no file stays
; locked. The instance mutex exists from the program's first step to its last,
; so it also covers an instance that is still starting or already shutting
; down (the software update starts this installer and then exits).
!macro END_RUNNING_INSTANCE un
Function ${un}EndRunningInstance
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $0 0 ; steps waited
  StrCpy $3 0 ; processes ended by force
  ${Do}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${INSTANCE_MUTEX}") p .r1'
    ${If} $1 P= 0
      ${Break}
    ${EndIf}
    ; Not kept open: an open handle would keep the mutex alive.
    System::Call 'kernel32::CloseHandle(p r1)'
    Call ${un}FindProgramWindow
    Pop $1
    ${If} $1 P<> 0
      DetailPrint "Ending the running ${PRODUCT}"
      Push $1
      Call ${un}AskToExitAndWait
      Pop $2
      ${If} $2 == "ended"
        StrCpy $0 0
        ${Continue}
      ${EndIf}
      ${If} ${Silent}
        ${If} $3 > 0
          DetailPrint "${PRODUCT} could not be ended; going on"
          ${Break}
        ${EndIf}
        ; Still there (e.g. it drops "Exit" during a firmware upgrade): end
        ; exactly that process, found through its own window.
        Push $1
        Call ${un}TerminateWindowProcess
        IntOp $3 $3 + 1
        StrCpy $0 0
        ${Continue}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running (it may be upgrading the cooler's firmware).$\r$\nWait until it has finished, end it from its tray icon, then choose Retry." IDRETRY +2
      Abort
      StrCpy $0 0
      ${Continue}
    ${EndIf}
    ; The mutex without the window: starting or shutting down; wait, bounded.
    IntOp $0 $0 + 1
    ${If} $0 > ${EXIT_WAIT_STEPS}
      ${If} ${Silent}
        DetailPrint "${PRODUCT} is still starting or ending; going on"
        ${Break}
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} is still running. End it from its tray icon, then choose Retry." IDRETRY +2
      Abort
      StrCpy $0 0
    ${EndIf}
    Sleep 250
  ${Loop}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Pushes the first top-level window that carries the program's property, or 0.
Function ${un}FindProgramWindow
  Push $0
  Push $1
  StrCpy $0 0
  ${Do}
    System::Call 'user32::FindWindowExW(p 0, p r0, p 0, p 0) p .r0'
    ${If} $0 P= 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetPropW(p r0, w "${WINDOW_PROPERTY}") p .r1'
    ${If} $1 P<> 0
      ${Break}
    ${EndIf}
  ${Loop}
  Pop $1
  Exch $0
FunctionEnd

; Takes a window; posts the tray's "Exit" to it and waits, bounded, for its
; process to end. Pushes "ended" or "running".
Function ${un}AskToExitAndWait
  Exch $0 ; window
  Push $1
  Push $2
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
  ; SYNCHRONIZE
  System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
  System::Call 'user32::PostMessageW(p r0, i 0x0111, p ${EXIT_COMMAND}, p 0)'
  ${If} $2 P<> 0
    System::Call 'kernel32::WaitForSingleObject(p r2, i ${EXIT_WAIT_MS}) i .r1'
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $1 = 0
      StrCpy $0 "ended"
    ${Else}
      StrCpy $0 "running"
    ${EndIf}
  ${Else}
    ; Could not watch the process: wait for the window to go instead.
    StrCpy $1 0
    ${Do}
      Sleep 250
      IntOp $1 $1 + 1
      System::Call 'user32::IsWindow(p r0) i .r2'
      ${If} $2 = 0
        StrCpy $0 "ended"
        ${Break}
      ${ElseIf} $1 > ${EXIT_WAIT_STEPS}
        StrCpy $0 "running"
        ${Break}
      ${EndIf}
    ${Loop}
  ${EndIf}
  Pop $2
  Pop $1
  Exch $0
FunctionEnd

; Takes a window; ends its process and waits for it to be gone.
Function ${un}TerminateWindowProcess
  Exch $0
  Push $1
  Push $2
  System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1) i'
  ; SYNCHRONIZE | PROCESS_TERMINATE
  System::Call 'kernel32::OpenProcess(i 0x00100001, i 0, i r1) p .r2'
  ${If} $2 P<> 0
    DetailPrint "${PRODUCT} did not end when asked; ending process $1"
    System::Call 'kernel32::TerminateProcess(p r2, i 1)'
    System::Call 'kernel32::WaitForSingleObject(p r2, i 10000)'
    System::Call 'kernel32::CloseHandle(p r2)'
  ${EndIf}
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_INSTANCE ""
!insertmacro END_RUNNING_INSTANCE "un."

; Pushes 1 when the path is a reparse point (junction, symbolic link), else 0.
!macro IS_LINK un
Function ${un}IsLink
  Exch $0
  System::Call 'kernel32::GetFileAttributesW(w r0) i .r0'
  ${If} $0 <> -1
  ${AndIf} $0 & 0x400
    StrCpy $0 1
  ${Else}
    StrCpy $0 0
  ${EndIf}
  Exch $0
FunctionEnd
!macroend
!insertmacro IS_LINK ""
!insertmacro IS_LINK "un."

!macro REQUIRE_ADMIN
  ; Program Files, HKLM and the logon task need it; without UAC a standard
  ; user gets no prompt, so say so instead of failing half-way.
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "Administrator rights are needed for ${PRODUCT}." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
  !insertmacro REQUIRE_ADMIN
  ; One installer at a time.
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${PRODUCT} Setup") p .r0 ?e'
  Pop $1
  ${If} $1 = 183
    MessageBox MB_OK|MB_ICONEXCLAMATION "The ${PRODUCT} setup is already running." /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

Function StartProgram
  ; Started from the program folder so that the download folder is not held.
  SetOutPath "$INSTDIR"
  Exec '"$INSTDIR\${EXE}"'
FunctionEnd

; The program runs elevated and loads libraries, skins and its logon task's
; program from here: only administrators may change what lies in it.
Function ProtectInstallFolder
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  CreateDirectory "$INSTDIR"
  Push "$INSTDIR"
  Call IsLink
  Pop $0
  ${If} $0 == 1
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR is a link to another folder; choose a real folder." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${INSTALL_FOLDER_SDDL}", i 1, *p .r0, p 0) i .r1'
  ${If} $1 <> 0
    System::Call 'advapi32::GetSecurityDescriptorOwner(p r0, *p .r2, *i .r4) i'
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r0, *i .r4, *p .r3, *i .r4) i'
    ; OWNER | DACL | PROTECTED_DACL; the entries flow down to what is inside.
    System::Call 'advapi32::SetNamedSecurityInfoW(w "$INSTDIR", i 1, i 0x80000005, p r2, p 0, p r3, p 0) i .r1'
    System::Call 'kernel32::LocalFree(p r0)'
  ${EndIf}
  ${If} $1 <> 0
    DetailPrint "Could not protect $INSTDIR (error $1)"
  ${EndIf}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  Call EndRunningInstance

  Call ProtectInstallFolder
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function .onInstSuccess
  ; The software update may start this installer with /S: the program it
  ; replaced must be running again afterwards.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NORUN" $1
    ${If} ${Errors}
      Call StartProgram
    ${EndIf}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  !insertmacro REQUIRE_ADMIN
FunctionEnd

Section "un.${PRODUCT}" SecUnProgram
  SectionIn RO
  Call un.EndRunningInstance

  ; The program registers its logon task at every start.
  nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /Delete /TN "${TASK}" /F'
  Pop $0

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  ; Known files only, then the folders if empty; nothing below a link.
  !insertmacro UninstallFiles
  Push "$INSTDIR"
  Call un.IsLink
  Pop $0
  ${If} $0 == 0
    Delete "$INSTDIR\${UNINSTALLER}"
    RMDir "$INSTDIR"
  ${EndIf}
  ; The update staging folder: what an update leaves there.
  Push "$APPDATA\${STAGING_FOLDER}"
  Call un.IsLink
  Pop $0
  ${If} $0 == 0
    Delete "$APPDATA\${STAGING_FOLDER}\release"
    Delete "$APPDATA\${STAGING_FOLDER}\release.sig"
    Delete "$APPDATA\${STAGING_FOLDER}\Software-*.zip"
    Delete "$APPDATA\${STAGING_FOLDER}\Software-*.exe"
    RMDir "$APPDATA\${STAGING_FOLDER}"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.My settings" SecUnSettings
  SetShellVarContext current
  DeleteRegKey HKCU "${SETTINGS_KEY}"
  ; The user's own folder: never a recursive delete, nothing through a link.
  Push "$LOCALAPPDATA\${DATA_FOLDER}"
  Call un.IsLink
  Pop $0
  Push "$LOCALAPPDATA\${DATA_FOLDER}\temp"
  Call un.IsLink
  Pop $1
  ${If} "$0$1" == "00"
    Delete "$LOCALAPPDATA\${DATA_FOLDER}\temp\Software-*.zip"
    Delete "$LOCALAPPDATA\${DATA_FOLDER}\temp\Software-*.zip.sig"
    Delete "$LOCALAPPDATA\${DATA_FOLDER}\temp\Software-*.exe"
    RMDir "$LOCALAPPDATA\${DATA_FOLDER}\temp"
    RMDir "$LOCALAPPDATA\${DATA_FOLDER}"
  ${EndIf}
  SetShellVarContext all
SectionEnd
