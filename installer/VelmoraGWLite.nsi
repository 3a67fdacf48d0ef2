; Installer of Velmora Gatewick Lite for every user of a machine, built by
; the build with NSIS:
;   makensis -DDIST=<dist folder> -DFILELIST=<installed-files.nsh>
;            -DICON=<mainicon.ico> -DART=<resources/art> -DOUTFILE=<setup.exe>
;            VelmoraGWLite.nsi
;
; Command line of the setup: /S silent, /D=<folder> (last) another folder,
; /RUN start the program when a silent install ends, /LOGON start it at logon.
; Command line of the uninstaller: /S silent (settings and white list kept).
;
; The setup runs with administrator rights; the program never does. What the
; program's first start would need those rights for (registering the blocking
; component) the setup does itself, and it starts the program through the
; logged-on user's shell, so that it runs as that user with the shell's rights.

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
; The white list save's companion file beside the list.
!define JOURNAL "gwwhitelist.dat.journal"
!define VENDOR_KEY "SOFTWARE\Corvantis"
!define PRODUCT_KEY "SOFTWARE\Corvantis\VelmoraLite"
!define VERSION_KEY "SOFTWARE\Corvantis\VelmoraLite\Version3"
!define SETTINGS_KEY "SOFTWARE\Corvantis\VelmoraLite\Version3\Settings"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VelmoraGWLite"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define RUN_VALUE "VelmoraGWLite"
; LOAD_LIBRARY_SEARCH_SYSTEM32, and with LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR.
!define SEARCH_SYSTEM32 0x800
!define SEARCH_OWN_FOLDER_AND_SYSTEM32 0x900
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
; and nothing more, as in Program Files: no file or folder can be added,
; removed or replaced by a user.
!define FOLDER_DACL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)"
; The white list and its companion: users read and write them in place
; (FILE_GENERIC_READ | FILE_GENERIC_WRITE: no delete, execute or change of
; rights). Protected from the folder's entries, whose "read and run" would
; make a file users write runnable from under Program Files. Owned by the
; administrators, so that no user keeps an owner's right to change them, not
; even one who created the list under an earlier version.
!define DATA_FILE_SD "O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x12019f;;;BU)"
!define SE_FILE_OBJECT 1
!define SE_REGISTRY_KEY 4
; DACL_SECURITY_INFORMATION with PROTECTED_ or UNPROTECTED_DACL_SECURITY_INFORMATION,
; and with OWNER_SECURITY_INFORMATION
!define SET_PROTECTED_DACL 0x80000004
!define SET_EXPLICIT_DACL 0x20000004
!define SET_OWNER_AND_PROTECTED_DACL 0x80000005

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
Var ComponentCalled
Var ComponentResult

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; The side picture of the welcome and finish pages, drawn for 96 DPI; the
; one drawn for 144 DPI replaces it on a larger screen (PickWizardPicture).
; Either is fitted to the control, which at those two settings is its size.
!define MUI_WELCOMEFINISHPAGE_BITMAP "${ART}/wizard.bmp"
!define MUI_WELCOMEFINISHPAGE_BITMAP_STRETCH FitControl
!define MUI_CUSTOMFUNCTION_GUIINIT PickWizardPicture
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
; How to add the browser extension, in the seven lines the large text has;
; the administrators' way goes below the two options (AddPolicyNote).
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "The browser extension is in the folder $\"extension$\" of the program folder.$\r$\nChrome, Edge: open chrome://extensions or edge://extensions, switch on Developer mode, Load unpacked, pick that folder.$\r$\nFirefox: about:debugging, This Firefox, Load Temporary Add-on, pick manifest.json there."
!define MUI_PAGE_CUSTOMFUNCTION_SHOW AddPolicyNote
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

; Calls an export of the blocking component, loaded by its full path with
; its own imports looked for in its folder and the system folder only (never
; the current folder or the path; the folder is the administrators' alone):
; $0 the export's name. $ComponentCalled 1 when it was called, with its
; result (an HRESULT) in $ComponentResult; 0 when the library or the export
; is missing.
!macro CALL_COMPONENT un
Function ${un}CallComponent
    Push $1
    Push $2
    StrCpy $ComponentCalled 0
    StrCpy $ComponentResult 0
    System::Call 'kernel32::LoadLibraryExW(w "$INSTDIR\${COMPONENT}", p 0, i ${SEARCH_OWN_FOLDER_AND_SYSTEM32}) p .r1'
    ${If} $1 P<> 0
        System::Call 'kernel32::GetProcAddress(p r1, m r0) p .r2'
        ${If} $2 P<> 0
            System::Call '::$2() i .r2'
            StrCpy $ComponentResult $2
            StrCpy $ComponentCalled 1
        ${EndIf}
        System::Call 'kernel32::FreeLibrary(p r1) i'
    ${EndIf}
    Pop $2
    Pop $1
FunctionEnd
!macroend
!insertmacro CALL_COMPONENT ""
!insertmacro CALL_COMPONENT "un."

; The logged-on user of this session, as the path of that user's hive under
; HKEY_USERS (the SID) in $0, or "" when there is none. Under an
; administrator's elevation that user is not the one whose HKCU the setup
; sees.
!macro SESSION_USER un
Function ${un}SessionUser
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    StrCpy $0 ""
    StrCpy $3 ""
    StrCpy $4 ""
    ; WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName (5) and
    ; WTSDomainName (7).
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 5, *p .r1, *i .r2) i .r5'
    ${If} $5 != 0
        System::Call 'kernel32::lstrcpynW(w .r3, p r1, i ${NSIS_MAX_STRLEN}) p'
        System::Call 'wtsapi32::WTSFreeMemory(p r1)'
    ${EndIf}
    System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i -1, i 7, *p .r1, *i .r2) i .r5'
    ${If} $5 != 0
        System::Call 'kernel32::lstrcpynW(w .r4, p r1, i ${NSIS_MAX_STRLEN}) p'
        System::Call 'wtsapi32::WTSFreeMemory(p r1)'
    ${EndIf}
    ${If} $3 != ""
        ${If} $4 != ""
            StrCpy $3 "$4\$3"
        ${EndIf}
        ; A buffer of SECURITY_MAX_SID_SIZE for the SID, one for the domain.
        System::Alloc 68
        Pop $1
        System::Alloc 1024
        Pop $2
        System::Call 'advapi32::LookupAccountNameW(p 0, w r3, p r1, *i 68, p r2, *i 512, *i .r6) i .r5'
        ${If} $5 != 0
            System::Call 'advapi32::ConvertSidToStringSidW(p r1, *p .r6) i .r5'
            ${If} $5 != 0
                System::Call 'kernel32::lstrcpynW(w .r0, p r6, i ${NSIS_MAX_STRLEN}) p'
                System::Call 'kernel32::LocalFree(p r6) p'
            ${EndIf}
        ${EndIf}
        System::Free $2
        System::Free $1
    ${EndIf}
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
FunctionEnd
!macroend
!insertmacro SESSION_USER ""
!insertmacro SESSION_USER "un."

; Sets the rights of an object from SDDL: $0 object name, $1 object type,
; $2 SDDL, $3 what to set (the DACL, and the owner where asked). A failure is
; counted in $RightsFailed.
Function SetDacl
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    Push $9
    StrCpy $4 0
    StrCpy $9 0
    System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w r2, i 1, *p .r4, p 0) i .r5'
    ${If} $5 == 0
        IntOp $RightsFailed $RightsFailed + 1
        DetailPrint "The rights for $0 could not be read"
    ${Else}
        System::Call 'advapi32::GetSecurityDescriptorDacl(p r4, *i .r6, *p .r7, *i .r8) i .r5'
        System::Call 'advapi32::GetSecurityDescriptorOwner(p r4, *p .r9, *i .r8) i .r5'
        System::Call 'advapi32::SetNamedSecurityInfoW(w r0, i r1, i r3, p r9, p 0, p r7, p 0) i .r5'
        ${If} $5 != 0
            IntOp $RightsFailed $RightsFailed + 1
            DetailPrint "The rights of $0 could not be set (error $5)"
        ${EndIf}
        System::Call 'kernel32::LocalFree(p r4) p'
    ${EndIf}
    Pop $9
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
FunctionEnd

; Every user of the machine may change the settings and save the white list
; (rewriting the list and its companion in place); nothing else of the
; program is theirs to change.
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
    StrCpy $2 "${DATA_FILE_SD}"
    StrCpy $3 ${SET_OWNER_AND_PROTECTED_DACL}
    Call SetDacl
    StrCpy $0 "$INSTDIR\${JOURNAL}"
    Call SetDacl
FunctionEnd

; The machine-wide part of the program's first start, done here with the
; setup's rights: the component's registration, and the mark that would have
; the program try it again. When the component cannot be registered the mark
; stays, and the setup says so.
Function RegisterComponent
    StrCpy $0 "DllRegisterServer"
    Call CallComponent
    ${If} $ComponentCalled == 1
    ${AndIf} $ComponentResult >= 0
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "VGWPBFirst" 0
    ${Else}
        DetailPrint "The blocking component could not be registered ($ComponentCalled, $ComponentResult)"
        MessageBox MB_OK|MB_ICONEXCLAMATION "${PRODUCT} is installed, but its blocking component could not be registered." /SD IDOK
        SetErrorLevel 4
    ${EndIf}
FunctionEnd

; Starts the program as the logged-on user, through that user's shell: the
; desktop's folder view hands the start to IShellDispatch2::ShellExecute,
; which runs in the shell's own process, so the program gets the shell's
; rights and environment, never the setup's. Chosen over a scheduled task,
; which needs the task service, leaves a task behind to clean up and must be
; told which user to run as. Without a shell (no one logged on, or a desktop
; without one) the program is not started: it starts from the Start menu or
; at the next logon.
Function StartProgram
    Push $0
    Push $1
    Push $2
    Push $3
    Push $4
    Push $5
    Push $6
    Push $7
    Push $8
    StrCpy $8 0
    ; $0 the interface in hand, $1 the next one, $2 each call's result.
    System::Call 'ole32::CoInitialize(p 0) i .r7'
    ; CLSID_ShellWindows, CLSCTX_LOCAL_SERVER, IID_IShellWindows
    System::Call 'ole32::CoCreateInstance(g "{9BA05972-F6A8-11CF-A442-00A0C90A8F39}", p 0, i 4, g "{85CB6900-4D95-11CF-960C-0080C7F4EE85}", *p .r0) i .r2'
    ${If} $2 == 0
        ; FindWindowSW(CSIDL_DESKTOP as VT_I4, VT_EMPTY, SWC_DESKTOP, SWFO_NEEDDISPATCH)
        System::Call '*(i 3, i 0, i 0, i 0, i 0, i 0) p .r3'
        System::Call '*(i 0, i 0, i 0, i 0, i 0, i 0) p .r4'
        System::Call '$0->15(p r3, p r4, i 8, *i .r5, i 1, *p .r1) i .r2'
        System::Free $3
        System::Free $4
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ; The desktop's IDispatch -> IServiceProvider -> its top-level
    ; IShellBrowser -> the active IShellView -> the view's background
    ; (IShellFolderViewDual) -> its Application (IShellDispatch2).
    ${If} $2 == 0
        System::Call '$0->0(g "{6D5140C1-7436-11CE-8034-00AA006009FA}", *p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        ; QueryService(SID_STopLevelBrowser, IID_IShellBrowser)
        System::Call '$0->3(g "{4C96BE40-915C-11CF-99D3-00AA004AE837}", g "{000214E2-0000-0000-C000-000000000046}", *p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        ; QueryActiveShellView
        System::Call '$0->15(*p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        ; GetItemObject(SVGIO_BACKGROUND, IID_IDispatch)
        System::Call '$0->15(i 0, g "{00020400-0000-0000-C000-000000000046}", *p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        System::Call '$0->0(g "{E7A1AF80-4D96-11CF-960C-0080C7F4EE85}", *p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        ; get_Application
        System::Call '$0->7(*p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        System::Call '$0->0(g "{A4C6892C-3BA9-11D2-9DEA-00C04FB16162}", *p .r1) i .r2'
        System::Call '$0->2()'
        StrCpy $0 $1
    ${EndIf}
    ${If} $2 == 0
        ; ShellExecute(file, arguments, folder, verb, show). VARIANTs passed by
        ; value go by reference on x64: no arguments, the folder as VT_BSTR,
        ; the default verb, SW_SHOWNORMAL as VT_I4.
        System::Call 'oleaut32::SysAllocString(w "$INSTDIR\${EXE}") p .r3'
        System::Call 'oleaut32::SysAllocString(w "$INSTDIR") p .r4'
        System::Call '*(i 0, i 0, i 0, i 0, i 0, i 0) p .r5'
        System::Call '*(i 8, i 0, p r4, i 0, i 0) p .r6'
        System::Call '*(i 3, i 0, i 1, i 0, i 0, i 0) p .r1'
        System::Call '$0->31(p r3, p r5, p r6, p r5, p r1) i .r2'
        System::Call '$0->2()'
        System::Free $1
        System::Free $6
        System::Free $5
        System::Call 'oleaut32::SysFreeString(p r4)'
        System::Call 'oleaut32::SysFreeString(p r3)'
        ${If} $2 == 0
            StrCpy $8 1
        ${EndIf}
    ${EndIf}
    ; S_OK or S_FALSE: this start's own, to be ended.
    ${If} $7 >= 0
        System::Call 'ole32::CoUninitialize()'
    ${EndIf}
    ${If} $8 != 1
        DetailPrint "${PRODUCT} could not be started through the shell of the logged-on user"
        MessageBox MB_OK|MB_ICONINFORMATION "${PRODUCT} could not be started for you now. Start it from the Start menu." /SD IDOK
    ${EndIf}
    Pop $8
    Pop $7
    Pop $6
    Pop $5
    Pop $4
    Pop $3
    Pop $2
    Pop $1
    Pop $0
FunctionEnd

; A screen of 120 DPI or more gets the picture drawn for 144 DPI: shrinking
; it reads better than enlarging the small one.
Function PickWizardPicture
    Push $0
    Push $1
    System::Call 'user32::GetDC(p 0) p .r0'
    ; LOGPIXELSY
    System::Call 'gdi32::GetDeviceCaps(p r0, i 90) i .r1'
    System::Call 'user32::ReleaseDC(p 0, p r0) i'
    ${If} $1 >= 120
        File "/oname=$PLUGINSDIR\modern-wizard.bmp" "${ART}/wizard_144.bmp"
    ${EndIf}
    Pop $1
    Pop $0
FunctionEnd

; Below the finish page's options: how an administrator installs the
; extension for every user.
Function AddPolicyNote
    ${NSD_CreateLabel} 120u 148u 195u 44u "Administrators install it for every user through the browsers' policies: ExtensionInstallForcelist for Chrome and Edge, ExtensionSettings in Firefox's policies.json. The README and the help's page on browsers say how."
    Pop $0
    SetCtlColors $0 "${MUI_TEXTCOLOR}" "${MUI_BGCOLOR}"
FunctionEnd

; The same entry the program's "Start with Windows" box writes, for the
; logged-on user (who may not be the administrator running the setup).
Function WriteStartAtLogon
    Push $0
    Call SessionUser
    ${If} $0 != ""
        WriteRegStr HKU "$0\${RUN_KEY}" "${RUN_VALUE}" '"$INSTDIR\${EXE}"'
    ${Else}
        DetailPrint "No logged-on user: no logon entry written"
    ${EndIf}
    Pop $0
FunctionEnd

Function .onInit
    ; Before anything loads a library by name.
    System::Call 'kernel32::SetDefaultDllDirectories(i ${SEARCH_SYSTEM32}) i'
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
    ; The saved white list and its companion are the users': never shipped,
    ; never overwritten.
    File /r /x "${WHITELIST}" /x "${JOURNAL}" /x "${WHITELIST}.new" /x "${WHITELIST}.old" "${DIST}/*"
    WriteUninstaller "$INSTDIR\${UNINSTALLER}"
    ; Left by earlier versions' saves, owned by whichever user wrote them.
    Delete "$INSTDIR\${WHITELIST}.new"
    Delete "$INSTDIR\${WHITELIST}.old"

    ; Users may add no file to the folder, so the two files a save rewrites
    ; in place are made here: an empty list (what saving an empty list
    ; writes) and an empty companion.
    ${IfNot} ${FileExists} "$INSTDIR\${WHITELIST}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${WHITELIST}" w
        ${IfNot} ${Errors}
            FileWrite $0 "0$\r$\n"
            FileClose $0
        ${EndIf}
    ${EndIf}
    ${IfNot} ${FileExists} "$INSTDIR\${JOURNAL}"
        ClearErrors
        FileOpen $0 "$INSTDIR\${JOURNAL}" w
        ${IfNot} ${Errors}
            FileClose $0
        ${EndIf}
    ${EndIf}

    ; A fresh install: the defaults of a first start, and the mark that has
    ; the first start register the blocking component, which the
    ; registration below clears. Existing settings are left as they are.
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
    ; Every install: a new component may bring new registration data.
    Call RegisterComponent

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
    System::Call 'kernel32::SetDefaultDllDirectories(i ${SEARCH_SYSTEM32}) i'
    SetRegView 64
FunctionEnd

Section "Uninstall"
    SetShellVarContext all
    Call un.EndRunningProgram

    StrCpy $0 1
    MessageBox MB_YESNO|MB_ICONQUESTION "Keep your settings and white list for a later installation of ${PRODUCT}?" /SD IDYES IDYES +2
    StrCpy $0 0

    ; The component's own counterpart of its registration, when it has one.
    StrCpy $1 $0
    StrCpy $0 "DllUnregisterServer"
    Call un.CallComponent
    StrCpy $0 $1

    ; What the setup put into the folder, listed by the build.
    !include "${FILELIST}"
    ; Left by earlier versions' saves.
    Delete "$INSTDIR\${WHITELIST}.new"
    Delete "$INSTDIR\${WHITELIST}.old"
    Delete /REBOOTOK "$INSTDIR\${UNINSTALLER}"

    ${If} $0 == 1
        ; The list and its companion stay with the settings: a complete
        ; companion is a save a stop interrupted, which the next start
        ; finishes. The component goes with the files: a later
        ; installation registers it again.
        WriteRegDWORD HKLM "${SETTINGS_KEY}" "VGWPBFirst" 1
    ${Else}
        Delete "$INSTDIR\${WHITELIST}"
        Delete "$INSTDIR\${JOURNAL}"
        DeleteRegKey HKLM "${SETTINGS_KEY}"
        DeleteRegKey /ifempty HKLM "${VERSION_KEY}"
        DeleteRegKey /ifempty HKLM "${PRODUCT_KEY}"
        DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
    ${EndIf}
    RMDir /REBOOTOK "$INSTDIR"

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    ; The logged-on user's entry, and the one earlier versions wrote for the
    ; administrator who ran the setup.
    Call un.SessionUser
    ${If} $0 != ""
        DeleteRegValue HKU "$0\${RUN_KEY}" "${RUN_VALUE}"
    ${EndIf}
    DeleteRegValue HKCU "${RUN_KEY}" "${RUN_VALUE}"
    ; Last, so that its absence tells that the uninstall has finished.
    DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
