; The installer of Quillrook Folder: for the current user (the default, no administrator rights)
; or for all users (Program Files, elevated), upgrades over a running agent, and the uninstaller.
; Built by scripts/dist.sh with makensis: -DVERSION=<version> -DBIN=<folder of the built files>
; -DROOT=<source tree> -DOUTFILE=<installer>. Switches: /S, /D=folder (last), /ALLUSERS or /CURRENTUSER, /START (start
; the agent after a silent install); the uninstaller's /S and /PURGE (remove the settings too).
Unicode true
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!ifndef VERSION
  !error "VERSION is not defined"
!endif
!ifndef BIN
  !error "BIN is not defined"
!endif
!ifndef ROOT
  !error "ROOT (the source tree) is not defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "quillrook-folder-${VERSION}-setup.exe"
!endif

!define PRODUCT "Quillrook Folder"
!define PUBLISHER "Brantwell Tools"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillrook Folder"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SETTINGS_KEY "Software\BrantwellTools\Quillrook Folder"
!define DATA_KEY "Software\BrantwellTools\Stewardry"
; The agent's main window: WM_CLOSE to it ends the agent as the tray's "Exit" does.
!define AGENT_CLASS "TQuillFolder"
; How long the agent gets to end, in tenths of a second.
!define AGENT_EXIT_WAIT 150
; A file still loaded somewhere is renamed aside with this ending; the agent deletes such
; leftovers in its folder at its next start.
!define ASIDE ".qf-old"

!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"
!include "MUI2.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

Var AllUsers     ; 1: for all users
Var ChosenDir    ; 1: the folder was given (/D or the folder page), not taken from the scope
Var ScopeMine
Var ScopeAll
Var Purge
Var PurgeBox

!define MUI_ICON "${ROOT}/res/qrfolder.ico"
!define MUI_UNICON "${ROOT}/res/qrfolder.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\qrfolder.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"

Page custom ScopePage ScopeLeave
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
UninstPage custom un.PurgePage un.PurgeLeave
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; -- the scope -------------------------------------------------------------------------------

Function SetScope
  ${If} $AllUsers == 1
    SetShellVarContext all
    ${If} $ChosenDir != 1
      StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ${If} $ChosenDir != 1
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

Function .onInit
  ${GetParameters} $R0
  StrCpy $AllUsers 0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/CURRENTUSER" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 0
  ${EndIf}
  ; /D= sets the folder before this runs; without it the folder follows the scope.
  StrCpy $ChosenDir 0
  ${If} $INSTDIR != ""
    StrCpy $ChosenDir 1
  ${EndIf}
  Call SetScope
  ${If} ${Silent}
    Call Elevate
  ${EndIf}
FunctionEnd

; An all-users install runs elevated: a copy started without rights starts itself again with
; them (the system asks the user) and ends.
Function Elevate
  ${If} $AllUsers != 1
    Return
  ${EndIf}
  System::Call "shell32::IsUserAnAdmin() i .r0"
  ${If} $0 != 0
    Return
  ${EndIf}
  ${GetParameters} $R0
  ${If} ${Silent}
    StrCpy $R0 "/S /ALLUSERS $R0"
  ${Else}
    StrCpy $R0 "/ALLUSERS $R0"
  ${EndIf}
  ExecShell "runas" "$EXEPATH" "$R0"
  Quit
FunctionEnd

Function ScopePage
  !insertmacro MUI_HEADER_TEXT "Install for whom?" "Choose who may use ${PRODUCT} on this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateRadioButton} 0 10u 100% 12u "&Just for me (no administrator rights are needed)"
  Pop $ScopeMine
  ${NSD_CreateRadioButton} 0 30u 100% 12u "For &all users of this computer (asks for administrator rights)"
  Pop $ScopeAll
  ${If} $AllUsers == 1
    ${NSD_Check} $ScopeAll
  ${Else}
    ${NSD_Check} $ScopeMine
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ScopeLeave
  ${NSD_GetState} $ScopeAll $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $AllUsers 1
  ${Else}
    StrCpy $AllUsers 0
  ${EndIf}
  Call SetScope
  Call Elevate
FunctionEnd

Function DirectoryLeave
  StrCpy $ChosenDir 1
FunctionEnd

; -- the running agent -----------------------------------------------------------------------

!macro StopAgent UN
Function ${UN}StopAgent
  FindWindow $0 "${AGENT_CLASS}"
  ${If} $0 == 0
    Return
  ${EndIf}
  DetailPrint "Asking the running ${PRODUCT} to exit"
  System::Call "user32::PostMessageW(p r0, i 0x0010, p 0, p 0)"
  StrCpy $1 0
  ${DoWhile} $1 < ${AGENT_EXIT_WAIT}
    Sleep 100
    FindWindow $0 "${AGENT_CLASS}"
    ${If} $0 == 0
      Return
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  DetailPrint "${PRODUCT} did not exit: its files are renamed aside"
FunctionEnd
!macroend
!insertmacro StopAgent ""
!insertmacro StopAgent "un."

; A file of the program, replaced; one that is still loaded (the hook library in other programs,
; the shell extension in Explorer) is renamed aside first.
!macro Place NAME
  ${If} ${FileExists} "$INSTDIR\${NAME}"
    Delete "$INSTDIR\${NAME}"
    ${If} ${FileExists} "$INSTDIR\${NAME}"
      System::Call "kernel32::GetTickCount() i .r9"
      Rename "$INSTDIR\${NAME}" "$INSTDIR\${NAME}.$9${ASIDE}"
    ${EndIf}
  ${EndIf}
  File "${BIN}/${NAME}"
!macroend

; -- install ---------------------------------------------------------------------------------

Section "Install"
  Call SetScope
  Call StopAgent
  SetOutPath "$INSTDIR"
  SetOverwrite on
  !insertmacro Place "qrfolder.exe"
  !insertmacro Place "qf.dll"
  !insertmacro Place "shellext.dll"
  !insertmacro Place "qrfolder.chm"
  !insertmacro Place "qrfolder.exe.debug"
  !insertmacro Place "qf.dll.debug"
  !insertmacro Place "shellext.dll.debug"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\qrfolder.exe" "" "$INSTDIR\qrfolder.exe" 0

  ${If} $AllUsers == 1
    StrCpy $R1 "/ALLUSERS"
  ${Else}
    StrCpy $R1 "/CURRENTUSER"
  ${EndIf}
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\qrfolder.exe,0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe" $R1'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S $R1'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The shell extension of this user, and the start at logon, as the program's first run sets
  ; them.
  ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\shellext.dll"'
  WriteRegStr HKCU "${RUN_KEY}" "${PRODUCT}" "$INSTDIR\qrfolder.exe"

  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/START" $R1
  ${If} ${Silent}
  ${AndIfNot} ${Errors}
    Exec '"$INSTDIR\qrfolder.exe"'
  ${EndIf}
SectionEnd

; -- uninstall -------------------------------------------------------------------------------

Function un.onInit
  ${GetParameters} $R0
  StrCpy $AllUsers 0
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $AllUsers 1
  ${EndIf}
  StrCpy $Purge 0
  ClearErrors
  ${GetOptions} $R0 "/PURGE" $R1
  ${IfNot} ${Errors}
    StrCpy $Purge 1
  ${EndIf}
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Function un.PurgePage
  !insertmacro MUI_HEADER_TEXT "Uninstall ${PRODUCT}" "${PRODUCT} is removed from $INSTDIR."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "Your settings, favourites and logs stay, for a later install, unless you tick the box."
  Pop $0
  ${NSD_CreateCheckBox} 0 30u 100% 12u "Also remove my settings and favourites"
  Pop $PurgeBox
  nsDialogs::Show
FunctionEnd

Function un.PurgeLeave
  ${NSD_GetState} $PurgeBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $Purge 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Call un.StopAgent
  ; The start-up task, the shell extension and the start at logon.
  ExecWait '"$INSTDIR\qrfolder.exe" /erasefull'
  ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\shellext.dll"'
  ReadRegStr $0 HKCU "${RUN_KEY}" "${PRODUCT}"
  ${If} $0 == "$INSTDIR\qrfolder.exe"
    DeleteRegValue HKCU "${RUN_KEY}" "${PRODUCT}"
  ${EndIf}
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  StrCpy $R9 0
  !macro Remove NAME
    Delete "$INSTDIR\${NAME}"
    ${If} ${FileExists} "$INSTDIR\${NAME}"
      StrCpy $R9 1
    ${EndIf}
  !macroend
  !insertmacro Remove "qrfolder.exe"
  !insertmacro Remove "qf.dll"
  !insertmacro Remove "shellext.dll"
  !insertmacro Remove "qrfolder.chm"
  !insertmacro Remove "qrfolder.exe.debug"
  !insertmacro Remove "qf.dll.debug"
  !insertmacro Remove "shellext.dll.debug"
  !insertmacro Remove "*${ASIDE}"
  ${If} ${FileExists} "$INSTDIR\*${ASIDE}"
    StrCpy $R9 1
  ${EndIf}
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  ${If} $R9 == 1
    ; Still loaded somewhere: gone at the next logon (an all-users folder at the next restart).
    ${If} $AllUsers == 1
      Delete /REBOOTOK "$INSTDIR\*.*"
      RMDir /REBOOTOK "$INSTDIR"
    ${Else}
      WriteRegStr HKCU "Software\Microsoft\Windows\CurrentVersion\RunOnce" "${PRODUCT} leftovers" \
        '"$SYSDIR\cmd.exe" /d /c rd /s /q "$INSTDIR"'
    ${EndIf}
  ${EndIf}

  ${If} $Purge == 1
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey HKCU "${DATA_KEY}"
    DeleteRegKey /ifempty HKCU "Software\BrantwellTools"
  ${EndIf}
SectionEnd
