; The Snapkeep installer and uninstaller (NSIS 3, 64-bit Unicode stub).
;
; scripts/make-dist.sh runs makensis with:
;   PRODUCT_NSH  the build's Product.nsh (VERSION, PUBLISHER, from CMake)
;   CAPTION      the product's name: install folder, shortcuts, Apps & features
;   STAGE        the folder holding Snapkeep.exe and SnapData\ as they ship
;   SOURCE       the source tree (icon, language strings)
;   OUTFILE      the installer to write
;
; Command line of the installer:   /S silent, /D=folder,
;   /NOSTARTUP do not start with Windows, /STARTUP start with Windows (the default; a reinstall
;   keeps the earlier choice, kept as StartWithWindows (1 or 0) in the Apps & features key)
; Command line of the uninstaller: /S silent, /PURGE also remove the folder lists and settings
Unicode true
Target amd64-unicode

!include "${PRODUCT_NSH}"
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${CAPTION}"
; The program reads its data folder through the current folder, so both shortcuts start it in
; the install folder.
!define MENU_LINK "$SMPROGRAMS\${CAPTION}.lnk"
; Earlier versions could start the program from this shortcut, which Windows skips for a program
; that asks for administrator rights; the logon task below took its place.
!define STARTUP_LINK "$SMSTARTUP\${CAPTION}.lnk"
; Starting with Windows: a scheduled task that starts the program at every user's logon, in the
; tray (its one switch), elevated where the user may be, without a prompt. The user's choice is
; kept beside the Apps & features entry, so a reinstall reads it back.
!define TASK_NAME "${CAPTION}"
!define TRAY_SWITCH "/tray"
!define CHOICE_VALUE "StartWithWindows"

Name "${CAPTION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${CAPTION}"
; Installing again goes where the last install went.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
; Per-machine: Program Files, the all-users Start menu and HKLM. The program itself asks for
; the same rights to reach the enclosure.
RequestExecutionLevel admin
ManifestDPIAware true
SetCompressor /SOLID lzma
BrandingText "${CAPTION} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${CAPTION}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${CAPTION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "© ${PUBLISHER}"

Var UserDataRemoval ; "1" when the uninstaller removes Host.txt, Device.txt and Setting.txt

!define MUI_ICON "${SOURCE}/res/Snapkeep.ico"
!define MUI_UNICON "${SOURCE}/res/Snapkeep.ico"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The program's six languages. NSIS picks the one of the system's user interface language,
; English when it has none of them.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "TradChinese"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "German"
!include "${SOURCE}/packaging/Strings.nsh"

Section "!${CAPTION}" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}/Snapkeep.exe"
    SetOutPath "$INSTDIR\SnapData"
    File "${STAGE}/SnapData/qconfig.inis"
    SetOutPath "$INSTDIR\SnapData\Language"
    File "${STAGE}/SnapData/Language/*.ini"
    ; Host.txt, Device.txt and Setting.txt are the user's: never shipped, so an install over
    ; an older version leaves them as they are.
    WriteUninstaller "$INSTDIR\uninstall.exe"

    SetShellVarContext all
    SetOutPath "$INSTDIR" ; the shortcuts' working folder
    CreateShortcut "${MENU_LINK}" "$INSTDIR\Snapkeep.exe"
SectionEnd

Section "$(StartWithWindows)" SecStartup
    Call RegisterLogonTask
SectionEnd

Section "-Apps and features"
    SetShellVarContext all
    Delete "${STARTUP_LINK}"
    ${If} ${SectionIsSelected} ${SecStartup}
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${CHOICE_VALUE}" 1
    ${Else}
        Call RemoveLogonTask
        WriteRegDWORD HKLM "${UNINSTALL_KEY}" "${CHOICE_VALUE}" 0
    ${EndIf}

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${CAPTION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Snapkeep.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ; In KiB, as Apps & features reads it; the user's files count too.
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function .onInit
    Call RequireAdministrator
    Call WaitForProgramEnd
    SetShellVarContext all
    ; Starting with Windows is ticked unless told otherwise: by /NOSTARTUP, or by the choice an
    ; earlier install kept. The components page shows the result; a silent install takes it.
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/NOSTARTUP" $1
    ${IfNot} ${Errors}
        !insertmacro UnselectSection ${SecStartup}
        Return
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/STARTUP" $1
    ${IfNot} ${Errors}
        Return
    ${EndIf}
    ClearErrors
    ReadRegDWORD $1 HKLM "${UNINSTALL_KEY}" "${CHOICE_VALUE}"
    ${IfNot} ${Errors}
    ${AndIf} $1 == 0
        !insertmacro UnselectSection ${SecStartup}
    ${EndIf}
FunctionEnd

; Registers the logon task through schtasks and a task file (UTF-16, as schtasks reads it):
; at the logon of any member of Users (S-1-5-32-545), in that user's session, at the highest
; run level the user has (administrators get the rights the enclosure needs), in the install
; folder (where the program finds SnapData), with no time limit, on battery too, at normal
; priority (a task's default is below normal). A task of the same name is replaced.
Function RegisterLogonTask
    InitPluginsDir
    ${WordReplace} "$INSTDIR" "&" "&amp;" "+" $R0
    ${WordReplace} "${CAPTION}" "&" "&amp;" "+" $R1
    StrCpy $R2 "$PLUGINSDIR\LogonTask.xml"
    FileOpen $R3 $R2 w
    FileWriteUTF16LE /BOM $R3 '<?xml version="1.0" encoding="UTF-16"?>$\r$\n'
    FileWriteUTF16LE $R3 '<Task version="1.2" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">$\r$\n'
    FileWriteUTF16LE $R3 '  <RegistrationInfo>$\r$\n'
    FileWriteUTF16LE $R3 '    <Author>${PUBLISHER}</Author>$\r$\n'
    FileWriteUTF16LE $R3 '    <Description>$R1: in the notification area from logon, so that the enclosure$\'s button starts a backup.</Description>$\r$\n'
    FileWriteUTF16LE $R3 '  </RegistrationInfo>$\r$\n'
    FileWriteUTF16LE $R3 '  <Triggers>$\r$\n'
    FileWriteUTF16LE $R3 '    <LogonTrigger>$\r$\n'
    FileWriteUTF16LE $R3 '      <Enabled>true</Enabled>$\r$\n'
    FileWriteUTF16LE $R3 '    </LogonTrigger>$\r$\n'
    FileWriteUTF16LE $R3 '  </Triggers>$\r$\n'
    FileWriteUTF16LE $R3 '  <Principals>$\r$\n'
    FileWriteUTF16LE $R3 '    <Principal id="Users">$\r$\n'
    FileWriteUTF16LE $R3 '      <GroupId>S-1-5-32-545</GroupId>$\r$\n'
    FileWriteUTF16LE $R3 '      <RunLevel>HighestAvailable</RunLevel>$\r$\n'
    FileWriteUTF16LE $R3 '    </Principal>$\r$\n'
    FileWriteUTF16LE $R3 '  </Principals>$\r$\n'
    FileWriteUTF16LE $R3 '  <Settings>$\r$\n'
    FileWriteUTF16LE $R3 '    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>$\r$\n'
    FileWriteUTF16LE $R3 '    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>$\r$\n'
    FileWriteUTF16LE $R3 '    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>$\r$\n'
    FileWriteUTF16LE $R3 '    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>$\r$\n'
    FileWriteUTF16LE $R3 '    <Priority>4</Priority>$\r$\n'
    FileWriteUTF16LE $R3 '    <IdleSettings>$\r$\n'
    FileWriteUTF16LE $R3 '      <StopOnIdleEnd>false</StopOnIdleEnd>$\r$\n'
    FileWriteUTF16LE $R3 '      <RestartOnIdle>false</RestartOnIdle>$\r$\n'
    FileWriteUTF16LE $R3 '    </IdleSettings>$\r$\n'
    FileWriteUTF16LE $R3 '    <Enabled>true</Enabled>$\r$\n'
    FileWriteUTF16LE $R3 '  </Settings>$\r$\n'
    FileWriteUTF16LE $R3 '  <Actions Context="Users">$\r$\n'
    FileWriteUTF16LE $R3 '    <Exec>$\r$\n'
    FileWriteUTF16LE $R3 '      <Command>$R0\Snapkeep.exe</Command>$\r$\n'
    FileWriteUTF16LE $R3 '      <Arguments>${TRAY_SWITCH}</Arguments>$\r$\n'
    FileWriteUTF16LE $R3 '      <WorkingDirectory>$R0</WorkingDirectory>$\r$\n'
    FileWriteUTF16LE $R3 '    </Exec>$\r$\n'
    FileWriteUTF16LE $R3 '  </Actions>$\r$\n'
    FileWriteUTF16LE $R3 '</Task>$\r$\n'
    FileClose $R3
    nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /create /tn "${TASK_NAME}" /xml "$R2" /f'
    Pop $R4
    Delete $R2
    ${If} $R4 != 0
        MessageBox MB_ICONEXCLAMATION "$(TaskNotRegistered)" /SD IDOK
    ${EndIf}
FunctionEnd

!macro REMOVE_LOGON_TASK prefix
    Function ${prefix}RemoveLogonTask
        ; Nothing to do when there is no task; schtasks then only complains.
        nsExec::ExecToLog '"$SYSDIR\schtasks.exe" /delete /tn "${TASK_NAME}" /f'
        Pop $0
    FunctionEnd
!macroend
!insertmacro REMOVE_LOGON_TASK ""
!insertmacro REMOVE_LOGON_TASK "un."

Function RunProgram
    SetOutPath "$INSTDIR" ; Exec starts the program in the output folder
    Exec '"$INSTDIR\Snapkeep.exe"'
FunctionEnd

!macro REQUIRE_ADMINISTRATOR prefix
    Function ${prefix}RequireAdministrator
        UserInfo::GetAccountType
        Pop $0
        ${If} $0 != "admin"
            MessageBox MB_ICONSTOP "$(NeedAdministrator)" /SD IDOK
            SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
            Quit
        ${EndIf}
    FunctionEnd
!macroend
!insertmacro REQUIRE_ADMINISTRATOR ""
!insertmacro REQUIRE_ADMINISTRATOR "un."

; While the program runs (often from the tray, started with Windows) its exe cannot be replaced
; or removed. It holds a mutex named after its caption; wait until the user has closed it.
!macro WAIT_FOR_PROGRAM_END prefix
    Function ${prefix}WaitForProgramEnd
        ${Do}
            System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${CAPTION}") p .r0'
            ${If} $0 P= 0
                ${Break}
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p r0)'
            ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(ProgramRunning)" /SD IDCANCEL IDRETRY`
                SetErrorLevel 5 ; ERROR_ACCESS_DENIED: the files are in use
                Quit
            ${EndIf}
        ${Loop}
    FunctionEnd
!macroend
!insertmacro WAIT_FOR_PROGRAM_END ""
!insertmacro WAIT_FOR_PROGRAM_END "un."

Function un.onInit
    Call un.RequireAdministrator
    Call un.WaitForProgramEnd
    ; Silent, the user's files go only with /PURGE; otherwise the uninstaller asks.
    StrCpy $UserDataRemoval 0
    ${un.GetParameters} $0
    ClearErrors
    ${un.GetOptions} $0 "/PURGE" $1
    ${If} ${Silent}
    ${AndIfNot} ${Errors}
        StrCpy $UserDataRemoval 1
    ${EndIf}
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.RemoveLogonTask
    Delete "${MENU_LINK}"
    Delete "${STARTUP_LINK}"
    Delete "$INSTDIR\Snapkeep.exe"
    Delete "$INSTDIR\SnapData\qconfig.inis"
    Delete "$INSTDIR\SnapData\Language\*.ini"
    RMDir "$INSTDIR\SnapData\Language"

    ${IfNot} ${Silent}
        ${If} ${FileExists} "$INSTDIR\SnapData\Host.txt"
        ${OrIf} ${FileExists} "$INSTDIR\SnapData\Device.txt"
        ${OrIf} ${FileExists} "$INSTDIR\SnapData\Setting.txt"
            ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "$(RemoveUserData)" IDYES`
                StrCpy $UserDataRemoval 1
            ${EndIf}
        ${EndIf}
    ${EndIf}
    ${If} $UserDataRemoval == 1
        ; With the half-written copies a program stopped mid-save leaves behind.
        Delete "$INSTDIR\SnapData\Host.txt"
        Delete "$INSTDIR\SnapData\Device.txt"
        Delete "$INSTDIR\SnapData\Setting.txt"
        Delete "$INSTDIR\SnapData\*.txt.snapkeep-new"
    ${EndIf}
    RMDir "$INSTDIR\SnapData"

    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR" ; stays while anything of the user's is in it
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
