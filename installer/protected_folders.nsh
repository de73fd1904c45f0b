; The folders that Setup writes into and that an administrator's programs later
; run from or append to: the program folder and the activity log's folder.
; Each gets a protected access list, so that no user can replace a program,
; plant a library or redirect the log; a folder that exists already is used
; only when nobody but SYSTEM, the Administrators (or TrustedInstaller, for the
; program folder) or the administrator running Setup owns it, and when it is
; not a junction or another reparse point, which could lead elsewhere.
;
;   StrCpy $FolderPath "C:\..."     the folder
;   StrCpy $FolderKind "program"    or "log"
;   Call ProtectFolder
;   ; $FolderRefusal: "" when the folder is ready, otherwise why it is refused
;   ; $FolderHandle: the folder held open (no one can rename or delete it
;   ;   while Setup runs); close it with kernel32::CloseHandle
;   ; $FolderCreated: 1 when Setup created it just now
;
; FolderRefusal is the decision alone, from what Windows reported, so that it
; can be tested on any system (Wine keeps no access list of a file).

!include "LogicLib.nsh"
!include "FileFunc.nsh"

; SYSTEM and Administrators: full control; Users: read and execute; on the
; folder, its subfolders and files (OI CI). Protected (P): nothing is inherited
; from the parent, so a drive root's "Authenticated Users: modify" stays out.
; A file that carries an access list of its own (the log, which journalprep
; creates) keeps it.
!define PROTECTED_FOLDER_SDDL "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FRFX;;;BU)"

!define SID_SYSTEM "S-1-5-18"
!define SID_ADMINISTRATORS "S-1-5-32-544"
!define SID_TRUSTED_INSTALLER "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"

!define FILE_ATTRIBUTE_DIRECTORY 0x10
!define FILE_ATTRIBUTE_REPARSE_POINT 0x400

Var FolderPath
Var FolderKind
Var FolderOwner       ; the owner's SID as text, "" when it could not be read
Var FolderAttributes  ; the folder's attributes, -1 when they could not be read
Var FolderForeign     ; 1 when a program folder holds files but no Zendrel ones
Var SetupAccount      ; the SID of the account running Setup
Var FolderRefusal
Var FolderHandle
Var FolderCreated

; The decision: $FolderKind, $FolderOwner, $SetupAccount, $FolderAttributes and
; $FolderForeign in, $FolderRefusal out ("" accepted).
Function FolderRefusal
  Push $0
  StrCpy $FolderRefusal ""
  IntOp $0 $FolderAttributes & ${FILE_ATTRIBUTE_REPARSE_POINT}
  ${If} $FolderAttributes == -1
    StrCpy $FolderRefusal "its attributes could not be read"
  ${ElseIf} $0 != 0
    StrCpy $FolderRefusal "it is a junction or another reparse point, which can lead to another place"
  ${Else}
    IntOp $0 $FolderAttributes & ${FILE_ATTRIBUTE_DIRECTORY}
    ${If} $0 == 0
      StrCpy $FolderRefusal "it is a file, not a folder"
    ${ElseIf} $FolderOwner == ""
      StrCpy $FolderRefusal "its owner could not be read"
    ${ElseIf} $FolderOwner == ${SID_SYSTEM}
    ${OrIf} $FolderOwner == ${SID_ADMINISTRATORS}
    ${OrIf} $FolderOwner == $SetupAccount
      ; accepted
    ${ElseIf} $FolderOwner == ${SID_TRUSTED_INSTALLER}
    ${AndIf} $FolderKind == "program"
      ; accepted
    ${Else}
      StrCpy $FolderRefusal "it belongs to the account $FolderOwner, not to SYSTEM or the Administrators, and that account could change what Setup puts there"
    ${EndIf}
  ${EndIf}
  ${If} $FolderRefusal == ""
  ${AndIf} $FolderKind == "program"
  ${AndIf} $FolderForeign == 1
    StrCpy $FolderRefusal "it holds files of another program (choose a folder of Zendrel's own)"
  ${EndIf}
  Pop $0
FunctionEnd

; $SetupAccount: the SID of the account that runs Setup, as text.
Function ReadSetupAccount
  Push $0
  Push $1
  Push $2
  Push $3
  StrCpy $SetupAccount ""
  System::Call 'kernel32::GetCurrentProcess() p .r0'
  ; TOKEN_QUERY
  System::Call 'advapi32::OpenProcessToken(p r0, i 8, *p .r1) i .r0'
  ${If} $0 != 0
    ; TokenUser (1): a TOKEN_USER, whose first member points to the SID.
    System::Call 'advapi32::GetTokenInformation(p r1, i 1, p 0, i 0, *i .r2)'
    System::Alloc $2
    Pop $3
    System::Call 'advapi32::GetTokenInformation(p r1, i 1, p r3, i r2, *i .r2) i .r0'
    ${If} $0 != 0
      System::Call '*$3(p .r0)'
      System::Call 'advapi32::ConvertSidToStringSidW(p r0, *p .r2) i .r0'
      ${If} $0 != 0
        System::Call 'kernel32::lstrcpynW(w .s, p r2, i ${NSIS_MAX_STRLEN})'
        Pop $SetupAccount
        System::Call 'kernel32::LocalFree(p r2)'
      ${EndIf}
    ${EndIf}
    System::Free $3
    System::Call 'kernel32::CloseHandle(p r1)'
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Creates $FolderPath with the protected access list, or opens the folder that
; is there; reads its owner and attributes, decides, and gives an accepted
; folder the protected access list. See the top of this file.
Function ProtectFolder
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  StrCpy $FolderRefusal ""
  StrCpy $FolderHandle -1
  StrCpy $FolderCreated 0
  StrCpy $FolderOwner ""
  StrCpy $FolderAttributes -1
  StrCpy $FolderForeign 0
  ${If} $SetupAccount == ""
    Call ReadSetupAccount
  ${EndIf}

  System::Call 'advapi32::ConvertStringSecurityDescriptorToSecurityDescriptorW(w "${PROTECTED_FOLDER_SDDL}", i 1, *p .r3, p 0) i .r0'
  ${If} $0 == 0
    StrCpy $FolderRefusal "Setup could not build its access list"
    Goto done
  ${EndIf}

  ; A folder Setup creates has the list from the start. Its parents (as for
  ; /D=D:\Tools\Zendrel) are made as usual.
  ${GetParent} $FolderPath $0
  ${If} $0 != ""
    CreateDirectory $0
  ${EndIf}
!if ${NSIS_PTR_SIZE} > 4
  System::Call '*(i 24, i 0, p r3, i 0, i 0) p .r4'
!else
  System::Call '*(i 12, p r3, i 0) p .r4'
!endif
  System::Call 'kernel32::CreateDirectoryW(w "$FolderPath", p r4) i .r0 ?e'
  Pop $1
  System::Free $4
  ${If} $0 != 0
    StrCpy $FolderCreated 1
  ${ElseIf} $1 != 183  ; ERROR_ALREADY_EXISTS
    StrCpy $FolderRefusal "Setup could not create it (error $1)"
    Goto free
  ${EndIf}

  ; Held open, without the right for others to rename or delete it, until
  ; Setup ends; opened as itself, not as what a reparse point leads to.
  ; READ_CONTROL | WRITE_DAC; FILE_SHARE_READ | FILE_SHARE_WRITE; OPEN_EXISTING;
  ; FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT
  System::Call 'kernel32::CreateFileW(w "$FolderPath", i 0x60000, i 3, p 0, i 3, i 0x02200000, p 0) p .r2 ?e'
  Pop $1
  ${If} $2 == -1
    StrCpy $FolderRefusal "Setup could not open it (error $1)"
    Goto free
  ${EndIf}
  StrCpy $FolderHandle $2

  ; BY_HANDLE_FILE_INFORMATION: the attributes come first.
  System::Call '*(&i52) p .r4'
  System::Call 'kernel32::GetFileInformationByHandle(p r2, p r4) i .r0'
  ${If} $0 != 0
    System::Call '*$4(i .r0)'
    StrCpy $FolderAttributes $0
  ${EndIf}
  System::Free $4

  ; GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, ...)
  System::Call 'advapi32::GetSecurityInfo(p r2, i 1, i 1, *p .r0, p 0, p 0, p 0, *p .r4) i .r1'
  ${If} $1 == 0
    System::Call 'advapi32::ConvertSidToStringSidW(p r0, *p .r1) i .r0'
    ${If} $0 != 0
      System::Call 'kernel32::lstrcpynW(w .s, p r1, i ${NSIS_MAX_STRLEN})'
      Pop $FolderOwner
      System::Call 'kernel32::LocalFree(p r1)'
    ${EndIf}
    System::Call 'kernel32::LocalFree(p r4)'
  ${EndIf}

  ; A program folder that holds anything must be an earlier installation.
  ${If} $FolderKind == "program"
  ${AndIf} $FolderCreated == 0
  ${AndIfNot} ${FileExists} "$FolderPath\ZendrelPanel.exe"
  ${AndIfNot} ${FileExists} "$FolderPath\urls.txt"
    FindFirst $0 $1 "$FolderPath\*"
    ${DoWhile} $1 != ""
      ${If} $1 != "."
      ${AndIf} $1 != ".."
        StrCpy $FolderForeign 1
      ${EndIf}
      FindNext $0 $1
    ${Loop}
    FindClose $0
  ${EndIf}

  Call FolderRefusal
  ${If} $FolderRefusal == ""
    System::Call 'advapi32::GetSecurityDescriptorDacl(p r3, *i .r4, *p .r1, *i .r4) i .r0'
    ; SetSecurityInfo(folder, SE_FILE_OBJECT, DACL | PROTECTED_DACL, ...)
    System::Call 'advapi32::SetSecurityInfo(p r2, i 1, i 0x80000004, p 0, p 0, p r1, p 0) i .r0'
    ${If} $0 != 0
      StrCpy $FolderRefusal "Setup could not set its access list (error $0)"
    ${EndIf}
  ${EndIf}

free:
  System::Call 'kernel32::LocalFree(p r3)'
  ${If} $FolderRefusal != ""
    ${If} $FolderHandle != -1
      System::Call 'kernel32::CloseHandle(p $FolderHandle)'
      StrCpy $FolderHandle -1
    ${EndIf}
    ; A folder made just now goes again (it is empty).
    ${If} $FolderCreated == 1
      RMDir $FolderPath
    ${EndIf}
  ${EndIf}
done:
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
