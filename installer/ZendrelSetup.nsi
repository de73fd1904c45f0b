; ZendrelSetup.exe: installs the Zendrel settings tools for every user of the
; machine. Built by installer/CMakeLists.txt (makensis) from the release build:
;   makensis -DVERSION=1.2.3.0 -DBIN_DIR=... -DRES_DIR=... -DOUT_FILE=... ZendrelSetup.nsi
;
; Silent use, for many machines:
;   ZendrelSetup.exe /S [/D=C:\Program Files\Zendrel]       (/D= last, unquoted)
;   "<folder>\Uninstall.exe" /S [/REMOVESETTINGS]
; Exit codes: 0 done; 1 cancelled by the user; 2 not done (the message says why).

!ifdef TARGET_AMD64
  ; The 64-bit build that the tests install on a machine that runs no 32-bit
  ; code. It installs into the same folder and, being 64-bit, uses the same
  ; registry view as the 64-bit programs it carries.
  Target amd64-unicode
!else
  Unicode true
!endif
ManifestDPIAware true
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!ifndef VERSION
  !error "VERSION (four numbers, e.g. 1.0.0.0) is defined by the build"
!endif
!ifndef VERSION_MAJOR
  !error "VERSION_MAJOR and VERSION_MINOR are defined by the build"
!endif
!ifndef VERSION_SHORT
  !define VERSION_SHORT "${VERSION}"
!endif
!ifndef COMPANY
  !define COMPANY "Orvantix"
!endif
!ifndef COPYRIGHT
  !define COPYRIGHT "Copyright (C) ${COMPANY}"
!endif
!ifndef BIN_DIR
  !error "BIN_DIR (the folder of the release programs) is defined by the build"
!endif
!ifndef RES_DIR
  !error "RES_DIR (src/panel/res) is defined by the build"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "ZendrelSetup.exe"
!endif

; Libraries: the installer's own start (the NSIS stub) keeps the search for
; the libraries it loads to the system folder; the plug-ins it unpacks load
; from its private temporary folder by their full path. The programs it runs
; set the same for themselves.
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!addincludedir "${__FILEDIR__}"
!include "protected_folders.nsh"
!include "guard_service.nsh"

; The settings key of the programs (HKEY_LOCAL_MACHINE, 32-bit view as the
; programs see it) and the entry in the list of installed programs.
!define SETTINGS_KEY "Software\Orvantix\Zendrel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zendrel"
!define SHORTCUT "Zendrel Settings.lnk"
; The activity log, in the machine's common application-data folder
; (C:\ProgramData on Windows Vista and later).
!define LOG_FOLDER "Zendrel"
!define LOG_NAME "ActivityLog.txt"

; The access list of the settings key, in the security descriptor definition
; language. Protected (P): nothing is inherited from HKLM\Software, so the list
; is exactly this:
;   SYSTEM and Administrators: full control, also on any future subkey (CI);
;   Users: read (KEY_READ 0x20019) and set values (KEY_SET_VALUE 0x2), on this
;   key only. The browser add-on, running as each user, needs these two: it
;   reads "requests" to append to it and writes "requests" and
;   "activitylogloc". Users get no right to create subkeys, delete the key, or
;   change its owner or access list. The registry grants rights per key, not per
;   value: whoever may set one value may set (or delete) every value of the key.
!define SETTINGS_SDDL "D:P(A;CI;KA;;;SY)(A;CI;KA;;;BA)(A;;0x2001b;;;BU)"

Name "Zendrel"
Caption "Zendrel ${VERSION_SHORT} Setup"
OutFile "${OUT_FILE}"
!ifdef TARGET_AMD64
  InstallDir "$PROGRAMFILES64\Zendrel"
!else
  InstallDir "$PROGRAMFILES\Zendrel"
!endif
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Zendrel ${VERSION_SHORT}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Zendrel"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"
VIAddVersionKey /LANG=1033 "FileDescription" "Zendrel Setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "OriginalFilename" "ZendrelSetup.exe"

!define MUI_ICON "${RES_DIR}\zendrel.ico"
!define MUI_UNICON "${RES_DIR}\zendrel.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_NOAUTOCLOSE
!define MUI_UNFINISHPAGE_NOAUTOCLOSE

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Var LogPath

Function .onInit
  SetShellVarContext all
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_OK|MB_ICONSTOP "Zendrel Setup needs administrator rights: the programs go into the Program Files folder and the settings into HKEY_LOCAL_MACHINE.$\r$\n$\r$\nSign in with an administrator account, or right-click ZendrelSetup.exe and choose Run as administrator." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

; Fails the installation: shows why (also written to the details and, in
; silent mode, only there) and ends with exit code 2.
!macro FailInstall text
  DetailPrint "${text}"
  MessageBox MB_OK|MB_ICONSTOP "${text}" /SD IDOK
  SetErrorLevel 2
  Abort "${text}"
!macroend

; ------------------------------------------------- the protected folders

Var ProgramFolderHandle
Var ProgramFolderCreated
Var LogFolderHandle

; The program folder and the activity log's folder get their protected access
; lists (protected_folders.nsh) before anything is installed: a refused folder
; ends Setup with exit code 2 and nothing installed. Both stay open until the
; installation ends (ReleaseProtectedFolders), so they cannot be swapped
; meanwhile.
Function PrepareProtectedFolders
  StrCpy $FolderPath "$INSTDIR"
  StrCpy $FolderKind "program"
  DetailPrint "Protecting the program folder $FolderPath"
  Call ProtectFolder
  ${If} $FolderRefusal != ""
    !insertmacro FailInstall "Zendrel Setup did not install into $FolderPath, because $FolderRefusal.$\r$\n$\r$\nThe administrator's programs run from this folder: an account that owns it, or a place it leads to, could change them. Choose another folder (such as the one Setup proposes), or remove this one first."
  ${EndIf}
  StrCpy $ProgramFolderHandle $FolderHandle
  StrCpy $ProgramFolderCreated $FolderCreated

  StrCpy $FolderPath "$APPDATA\${LOG_FOLDER}"
  StrCpy $FolderKind "log"
  DetailPrint "Protecting the activity log's folder $FolderPath"
  Call ProtectFolder
  ${If} $FolderRefusal != ""
    System::Call 'kernel32::CloseHandle(p $ProgramFolderHandle)'
    ${If} $ProgramFolderCreated == 1
      RMDir "$INSTDIR"
    ${EndIf}
    !insertmacro FailInstall "Zendrel Setup did not install, because the activity log's folder $FolderPath is not safe: $FolderRefusal.$\r$\n$\r$\nSetup and journalprep write the log there with administrator rights. Remove that folder (it holds only the activity log) and run Setup again."
  ${EndIf}
  StrCpy $LogFolderHandle $FolderHandle
FunctionEnd

Function ReleaseProtectedFolders
  System::Call 'kernel32::CloseHandle(p $ProgramFolderHandle)'
  System::Call 'kernel32::CloseHandle(p $LogFolderHandle)'
FunctionEnd

; ----------------------------------------------------------------- install

Section "Zendrel" SecMain
  SectionIn RO
  SetShellVarContext all
  Call PrepareProtectedFolders
  Call StopGuard
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}\ZendrelPanel.exe"
  File "${BIN_DIR}\ZendrelGuard.exe"
  File "${BIN_DIR}\journalprep.exe"
  File "${BIN_DIR}\zendrelctl.exe"
  File "${BIN_DIR}\ZendrelHelp.chm"

  ; The approved sites: created empty when missing, never touched otherwise,
  ; so an upgrade keeps them.
  ${IfNot} ${FileExists} "$INSTDIR\urls.txt"
    DetailPrint "Creating urls.txt (no approved sites yet)"
    ClearErrors
    FileOpen $0 "$INSTDIR\urls.txt" w
    ${If} ${Errors}
      !insertmacro FailInstall "Zendrel Setup could not create $INSTDIR\urls.txt, the list of approved sites."
    ${EndIf}
    FileClose $0
  ${Else}
    DetailPrint "Keeping the approved sites in $INSTDIR\urls.txt"
  ${EndIf}

  ; The uninstaller and the entry in the list of installed programs come
  ; before the steps that can fail, so a failed installation can be removed.
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Zendrel"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION_SHORT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ZendrelPanel.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\ZendrelHelp.chm"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMajor" ${VERSION_MAJOR}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "VersionMinor" ${VERSION_MINOR}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"

  ; The settings key, with the access list the add-on needs (SETTINGS_SDDL).
  DetailPrint "Creating HKEY_LOCAL_MACHINE\${SETTINGS_KEY}"
  ; KEY_READ | KEY_WRITE | WRITE_DAC
  System::Call 'advapi32::RegCreateKeyExW(p 0x80000002, w "${SETTINGS_KEY}", i 0, p 0, i 0, i 0x6001F, p 0, *p .r1, *i .r2) i .r0'
  ${If} $0 != 0
    !insertmacro FailInstall "Zendrel Setup could not create the settings key HKEY_LOCAL_MACHINE\${SETTINGS_KEY} (error $0)."
  ${EndIf}
  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${SETTINGS_SDDL}", i 1, *p .r3, p 0) i .r0'
  ${If} $0 != 0
    ; GetSecurityDescriptorDacl(descriptor, present, dacl, defaulted)
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r3, *i .r4, *p .r5, *i .r6) i .r0'
    ; SetSecurityInfo(key, SE_REGISTRY_KEY, DACL | PROTECTED_DACL, ...)
    System::Call 'advapi32::SetSecurityInfo(p r1, i 4, i 0x80000004, p 0, p 0, p r5, p 0) i .r0'
    System::Call 'kernel32::LocalFree(p r3)'
  ${Else}
    StrCpy $0 "the access list could not be built"
  ${EndIf}
  System::Call 'advapi32::RegCloseKey(p r1)'
  ${If} $0 != 0
    !insertmacro FailInstall "Zendrel Setup could not give users the right to set values in HKEY_LOCAL_MACHINE\${SETTINGS_KEY} ($0). The browser add-on needs it to record requested sites."
  ${EndIf}

  DetailPrint "Running ZendrelPanel.exe /install"
  ExecWait '"$INSTDIR\ZendrelPanel.exe" /install'

  ; The activity log: journalprep creates it (or opens it) with an access list
  ; that lets every user write, and appends "Initialize Log".
  ; Its folder exists, protected (PrepareProtectedFolders).
  StrCpy $LogPath "$APPDATA\${LOG_FOLDER}\${LOG_NAME}"
  !define JOURNALPREP_FAILED "Zendrel Setup could not prepare the activity log $LogPath (journalprep.exe ended with code $0: 2 means that the file could not be opened or created, 3 or 4 that it could not be written, 5 that something other than a plain file (a folder, a link or a hard link) stands at its place, 6 that the file's access list could not be set)."
  DetailPrint "Preparing the activity log $LogPath"
  ClearErrors
  ExecWait '"$INSTDIR\journalprep.exe" "$LogPath"' $0
  ${If} ${Errors}
    !insertmacro FailInstall "Zendrel Setup could not run $INSTDIR\journalprep.exe to prepare the activity log."
  ${ElseIf} $0 == 5
    !insertmacro FailInstall "${JOURNALPREP_FAILED}$\r$\n$\r$\nDelete what stands at $LogPath first, then run Setup again."
  ${ElseIf} $0 != 0
    !insertmacro FailInstall "${JOURNALPREP_FAILED}$\r$\n$\r$\nCheck that the folder exists and that no other program holds the file open, then run Setup again."
  ${EndIf}
  ; Where the add-on writes its log: set only when no location is recorded,
  ; so a location chosen earlier is kept.
  ClearErrors
  ReadRegStr $1 HKLM "${SETTINGS_KEY}" "activitylogloc"
  ${If} ${Errors}
  ${OrIf} $1 == ""
    WriteRegStr HKLM "${SETTINGS_KEY}" "activitylogloc" "$LogPath"
  ${Else}
    DetailPrint "Keeping the activity log location $1"
  ${EndIf}

  ; The guard, which puts back the settings the administrator holds. Its
  ; --install first holds every setting not held yet as it stands now, the
  ; log's place included: hence after journalprep and "activitylogloc".
  Call InstallGuard
  ${If} $0 != 0
    !insertmacro FailInstall "Zendrel Setup could not install or start the service ZendrelGuard (ZendrelGuard.exe --install ended with $0). Without it a standard account could switch its filter or the activity log off."
  ${EndIf}

  CreateShortCut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\ZendrelPanel.exe" "" "$INSTDIR\ZendrelPanel.exe" 0 SW_SHOWNORMAL "" "Approve sites and change the Zendrel settings"
  Call ReleaseProtectedFolders
SectionEnd

; ---------------------------------------------------------------- uninstall

Var RemoveSettings

Function un.onInit
  SetShellVarContext all
  StrCpy $RemoveSettings 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    StrCpy $RemoveSettings 1
  ${EndIf}
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  ; Without /REMOVESETTINGS ask; silent mode answers No and keeps them.
  ${If} $RemoveSettings == 0
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 "Remove the Zendrel settings too?$\r$\n$\r$\nYes removes the approved sites (urls.txt), the requested sites, the password and the other settings in HKEY_LOCAL_MACHINE\${SETTINGS_KEY}.$\r$\nNo keeps them for a later installation.$\r$\n$\r$\nThe activity log is kept in either case." /SD IDNO IDNO keep
    StrCpy $RemoveSettings 1
    keep:
  ${EndIf}

  Call un.RemoveGuard
  DetailPrint "Running ZendrelPanel.exe /uninstall"
  ExecWait '"$INSTDIR\ZendrelPanel.exe" /uninstall'

  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$INSTDIR\ZendrelPanel.exe"
  Delete "$INSTDIR\journalprep.exe"
  Delete "$INSTDIR\zendrelctl.exe"
  Delete "$INSTDIR\ZendrelGuard.exe"
  Delete "$INSTDIR\ZendrelHelp.chm"
  Delete "$INSTDIR\Uninstall.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} $RemoveSettings == 1
    DetailPrint "Removing the settings"
    Delete "$INSTDIR\urls.txt"
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "Software\Orvantix"
    ; "mode" of the user who uninstalls; other users' switches stay in
    ; their own profiles, unused.
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\Orvantix"
  ${Else}
    DetailPrint "Keeping the settings: $INSTDIR\urls.txt and HKEY_LOCAL_MACHINE\${SETTINGS_KEY}"
  ${EndIf}
  ; Removed only when empty: a kept urls.txt keeps the folder.
  RMDir "$INSTDIR"
SectionEnd
