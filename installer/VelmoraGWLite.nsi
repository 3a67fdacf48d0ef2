; Installer of Velmora Gatewick Lite for every user of a machine, built by
; the build with NSIS:
;   makensis -DDIST=<dist folder> -DFILELIST=<installed-files.nsh>
;            -DICON=<mainicon.ico> -DOUTFILE=<setup.exe> VelmoraGWLite.nsi
;
; Command line of the setup: /S silent, /D=<folder> (last) another folder,
; /RUN start the program when a silent install ends, /LOGON start it at logon.
; Command line of the uninstaller: /S silent (settings and white list kept).

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define PRODUCT "Velmora Gatewick Lite"
!define VERSION "3.0.2.0"
!define PUBLISHER "Corvantis Inc."
!define EXE "VelmoraGWLite.exe"
!define COMPONENT "olvrex.dll"
!define UNINSTALLER "uninstall.exe"
!define WHITELIST "gwwhitelist.dat"
!define VENDOR_KEY "SOFTWARE\Corvantis"
!define PRODUCT_KEY "SOFTWARE\Corvantis\VelmoraLite"
!define VERSION_KEY "SOFTWARE\Corvantis\VelmoraLite\Version3"
!define SETTINGS_KEY "SOFTWARE\Corvantis\VelmoraLite\Version3\Settings"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraGWLite"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "VelmoraGWLite"
; The program's main window class and the registered message that makes it
; run Exit (component/Contract.h).
!define MAIN_CLASS "TVMGWLPreferences"
!define EXIT_REQUEST "Corvantis.VelmoraGWLite.ExitRequest"

; Rights of the local Users group (BU), as SDDL; see the README.
; The settings key: users read it and set its values (KEY_READ |
; KEY_SET_VALUE); the system and administrators keep full control, also where
; nothing is inherited.
!define SETTINGS_DACL "D:(A;;KA;;;SY)(A;;KA;;;BA)(A;;0x2001b;;;BU)"
; The program folder, protected from what its parent would pass on: the
; system and administrators control it, users read and run everything in it
; and may add files to the folder itself (FILE_ADD_FILE, not inherited: not
; folders, nor anything in sounds\ or Help\, nor deleting others' files); a
; file's creator controls that file.
!define FOLDER_DACL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)(A;OICIIO;FA;;;CO)(A;;0x2;;;BU)"
; The white list file: users read, write and delete it (no execute).
!define WHITELIST_DACL "D:(A;;0x13019f;;;BU)"
!define SE_FILE_OBJECT 1
!define SE_REGISTRY_KEY 4
; DACL_SECURITY_INFORMATION with PROTECTED_ or UNPROTECTED_DACL_SECURITY_INFORMATION
!define SET_PROTECTED_DACL 0x80000004
!define SET_EXPLICIT_DACL 0x20000004

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright © 2003-2026 Corvantis Inc. All rights reserved."

Var StartAfterInstall
Var StartAtLogon
Var RightsFailed

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT} now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartProgram
; The second check box of the finish page, used for the logon entry.
!define MUI_FINISHPAGE_SHOWREADME ""
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Start ${PRODUCT} when I log on"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!define MUI_FINISHPAGE_SHOWREADME_FUNCTION WriteStartAtLogon
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a running copy through its own Exit, so that it marks itself stopped
; and removes its icon, then waits for its process to end. Only copies on
; this desktop can be asked; a copy in another logon keeps its files in use,
; and those are then removed at the next restart.
!macro END_RUNNING_PROGRAM un
Function ${un}EndRunningProgram
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    System::Call 'user32::RegisterWindowMessageW(w "${EXIT_REQUEST}") i .r1'
    StrCpy $4 0
    ${Do}
        FindWindow $0 "${MAIN_CLASS}" ""
        ${If} $0 == 0
        ${OrIf} $1 == 0
        ${OrIf} $4 >= 4
            ${Break}
        ${EndIf}
        IntOp $4 $4 + 1
        StrCpy $2 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r2) i'
        ; SYNCHRONIZE, to wait for the end.
        System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r2) p .r3'
        DetailPrint "Ending the running ${PRODUCT}"
        ; SMTO_ABORTIFHUNG: a hung copy cannot hold the setup up.
        System::Call 'user32::SendMessageTimeoutW(p r0, i r1, p 0, p 0, i 2, i 5000, *p .r2) p'
        ${If} $3 != 0
            System::Call 'kernel32::WaitForSingleObject(p r3, i 15000) i'
            System::Call 'kernel32::CloseHandle(p r3) i'
        ${EndIf}
    ${Loop}
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd
!macroend
!insertmacro END_RUNNING_PROGRAM ""
!insertmacro END_RUNNING_PROGRAM "un."

; Sets the DACL of an object from SDDL: $0 object name, $1 object type,
; $2 SDDL, $3 what to set. A failure is counted in $RightsFailed.
Function SetDacl
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    StrCpy $4 0
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r2, i 1, *p .r4, p 0) i .r5'
    ${If} $5 == 0
        IntOp $RightsFailed $RightsFailed + 1
        DetailPrint "The rights for $0 could not be read"
    ${Else}
        System::Call 'advapi32::GetSecurityDescriptorDacl(p r4, *i .r6, *p .r7, *i .r8) i .r5'
        System::Call 'advapi32::SetNamedSecurityInfoW(w r0, i r1, i r3, p 0, p 0, p r7, p 0) i .r5'
        ${If} $5 != 0
            IntOp $RightsFailed $RightsFailed + 1
            DetailPrint "The rights of $0 could not be set (error $5)"
        ${EndIf}
        System::Call 'kernel32::LocalFree(p r4) p'
    ${EndIf}
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
FunctionEnd

; Every user of the machine may change the settings and save the white list;
; nothing else of the program is theirs to change.
Function GrantUserRights
    StrCpy $0 "MACHINE\${SETTINGS_KEY}"
    StrCpy $1 ${SE_REGISTRY_KEY}
    StrCpy $2 "${SETTINGS_DACL}"
    StrCpy $3 ${SET_EXPLICIT_DACL}
    Call SetDacl
    StrCpy $0 "$INSTDIR"
    StrCpy $1 ${SE_FILE_OBJECT}
    StrCpy $2 "${FOLDER_DACL}"
    StrCpy $3 ${SET_PROTECTED_DACL}
    Call SetDacl
    StrCpy $0 "$INSTDIR\${WHITELIST}"
    StrCpy $2 "${WHITELIST_DACL}"
    StrCpy $3 ${SET_EXPLICIT_DACL}
    Call SetDacl
FunctionEnd

Function StartProgram
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\${EXE}"'
FunctionEnd

; The same entry the program's "Start with Windows" box writes.
Function WriteStartAtLogon
    WriteRegStr HKCU "${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}"'
FunctionEnd

Function .onInit
    SetRegView 64
    StrCpy $StartAfterInstall 0
    StrCpy $StartAtLogon 0
    StrCpy $RightsFailed 0
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/RUN" $1
    ${IfNot} ${Errors}
        StrCpy $StartAfterInstall 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $0 "/LOGON" $1
    ${IfNot} ${Errors}
        StrCpy $StartAtLogon 1
    ${EndIf}
FunctionEnd

Section "Install"
    SetShellVarContext all
    Call EndRunningProgram

    SetOutPath "$INSTDIR"
    ; The saved white list is the user's: never shipped, never overwritten.
    File /r /x "${WHITELIST}" /x "${WHITELIST}.new" /x "${WHITELIST}.old" /x "${WHITELIST}.journal" "${DIST}/*"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"

    ; An empty list, so that every user saves by replacing this file, whose
    ; own rights then stay with it.
    ${IfNot} ${FileExists} "$INSTDIR\${WHITELIST}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${WHITELIST}" w
        ${IfNot} ${Errors}
            FileWrite $0 "0$\r$\n"
            FileClose $0
        ${EndIf}
    ${EndIf}

    ; A fresh install: the defaults of a first start, and the mark that has
    ; the first start register the blocking component. Existing settings
    ; are left as they are.
    ClearErrors
    EnumRegValue $0 HKLM "${SETTINGS_KEY}" 0
    ${If} ${Errors}
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "VGWPBStatus" 1
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "SoundNotification" 1
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "SoundIndex" 0
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "AnimTrayIcon" 1
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "VGWPBFirst" 1
    ${EndIf}

    Call GrantUserRights
    ${If} $RightsFailed != 0
        MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} is installed, but users without administrator rights may not be able to change its settings or white list." /SD IDOK
        SetErrorLevel 3
    ${EndIf}

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

    WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" '"$INSTDIR\${EXE}",0'
    WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
    WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"

    ; Without the finish page the command line decides.
    ${If} ${Silent}
        ${If} $StartAtLogon == 1
            Call WriteStartAtLogon
        ${EndIf}
        ${If} $StartAfterInstall == 1
            Call StartProgram
        ${EndIf}
    ${EndIf}
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.EndRunningProgram

    StrCpy $0 1
    MessageBox MB_YESNO|MB_ICONQUESTION "Keep your settings and white list for a later installation of ${PRODUCT}?" /SD IDYES IDYES +2
    StrCpy $0 0

    ; The component's own counterpart of its registration, when it has one.
    ClearErrors
    UnRegDLL "$INSTDIR\${COMPONENT}"

    ; What the setup put into the folder, listed by the build.
    !include "${FILELIST}"
    ; A save interrupted half-way leaves this behind.
    Delete "$INSTDIR\${WHITELIST}.new"
    Delete "$INSTDIR\${WHITELIST}.old"
    Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"

    ${If} $0 == 1
        ; The component goes with the files: a later installation's first
        ; start registers it again.
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "VGWPBFirst" 1
    ${Else}
        Delete "$INSTDIR\${WHITELIST}"
        DeleteRegKey HKLM "${SETTINGS_KEY}"
        DeleteRegKey /ifempty HKLM "${VERSION_KEY}"
        DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
        DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
    ${EndIf}
    RMDir /REBOOTOK "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ; Last, so that its absence tells that the uninstall has finished.
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
