; folder_rules_test.exe: the installer's folder decision (protected_folders.nsh)
; given what Windows could report, and ProtectFolder on real folders.
;   makensis -DINSTALLER_DIR=... -DOUT_FILE=... folder_rules_test.nsi
;   folder_rules_test.exe /S /OUT=C:\result.txt /WORK=C:\scratch
; Writes one "PASS: ..." or "FAIL: ..." line per case to the /OUT= file.

Unicode true
RequestExecutionLevel admin
SilentInstall silent
OutFile "${OUT_FILE}"
!ifdef TARGET
  Target ${TARGET}
!endif

!addincludedir "${INSTALLER_DIR}"
!include "protected_folders.nsh"

!define USER_SID "S-1-5-21-1004336348-1177238915-682003330-1001"
!define SETUP_SID "S-1-5-21-1004336348-1177238915-682003330-500"

Var Out

; Case KIND OWNER ATTRIBUTES FOREIGN EXPECTED: EXPECTED is "accepted" or
; "refused".
!macro Case kind owner attributes foreign expected
  StrCpy $FolderKind "${kind}"
  StrCpy $FolderOwner "${owner}"
  StrCpy $FolderAttributes ${attributes}
  StrCpy $FolderForeign ${foreign}
  Call FolderRefusal
  StrCpy $0 "accepted"
  ${If} $FolderRefusal != ""
    StrCpy $0 "refused"
  ${EndIf}
  StrCpy $1 "PASS"
  ${If} $0 != "${expected}"
    StrCpy $1 "FAIL"
  ${EndIf}
  FileWrite $Out "$1: ${kind} folder of owner [${owner}], attributes ${attributes}, foreign ${foreign}: $0 ($FolderRefusal)$\r$\n"
!macroend

; Real KIND PATH EXPECTED: ProtectFolder on PATH.
!macro Real kind path expected
  StrCpy $FolderKind "${kind}"
  StrCpy $FolderPath "${path}"
  Call ProtectFolder
  StrCpy $0 "accepted"
  ${If} $FolderRefusal != ""
    StrCpy $0 "refused"
  ${EndIf}
  StrCpy $1 "PASS"
  ${If} $0 != "${expected}"
    StrCpy $1 "FAIL"
  ${EndIf}
  ${If} $0 == "accepted"
  ${AndIf} $FolderHandle == -1
    StrCpy $1 "FAIL"
  ${EndIf}
  FileWrite $Out "$1: ProtectFolder ${kind} ${path}: $0 ($FolderRefusal; owner $FolderOwner, attributes $FolderAttributes, created $FolderCreated)$\r$\n"
  ${If} $FolderHandle != -1
    System::Call 'kernel32::CloseHandle(p $FolderHandle)'
  ${EndIf}
!macroend

Section
  ${GetParameters} $2
  ${GetOptions} $2 "/OUT=" $3
  ${GetOptions} $2 "/WORK=" $4
  FileOpen $Out $3 w

  StrCpy $SetupAccount "${SETUP_SID}"
  !insertmacro Case program ${SID_SYSTEM} 0x10 0 accepted
  !insertmacro Case program ${SID_ADMINISTRATORS} 0x10 0 accepted
  !insertmacro Case program ${SID_TRUSTED_INSTALLER} 0x10 0 accepted
  !insertmacro Case program ${SETUP_SID} 0x10 0 accepted
  !insertmacro Case log ${SID_SYSTEM} 0x10 0 accepted
  !insertmacro Case log ${SID_ADMINISTRATORS} 0x2010 0 accepted
  !insertmacro Case log ${SID_TRUSTED_INSTALLER} 0x10 0 refused
  !insertmacro Case program ${USER_SID} 0x10 0 refused
  !insertmacro Case log ${USER_SID} 0x10 0 refused
  !insertmacro Case program "S-1-5-11" 0x10 0 refused
  !insertmacro Case program ${SID_ADMINISTRATORS} 0x410 0 refused
  !insertmacro Case log ${SID_SYSTEM} 0x410 0 refused
  !insertmacro Case program "" 0x10 0 refused
  !insertmacro Case program ${SID_ADMINISTRATORS} -1 0 refused
  !insertmacro Case program ${SID_ADMINISTRATORS} 0x20 0 refused
  !insertmacro Case program ${SID_ADMINISTRATORS} 0x10 1 refused
  !insertmacro Case log ${SID_ADMINISTRATORS} 0x10 1 accepted

  ; Real folders, owned by the account that runs the test.
  StrCpy $SetupAccount ""
  !insertmacro Real program "$4\new\Zendrel" accepted
  !insertmacro Real program "$4\new\Zendrel" accepted
  CreateDirectory "$4\foreign"
  FileOpen $0 "$4\foreign\other.exe" w
  FileClose $0
  !insertmacro Real program "$4\foreign" refused
  !insertmacro Real log "$4\foreign" accepted
  !insertmacro Real program "$4\foreign\other.exe" refused

  FileClose $Out
SectionEnd
