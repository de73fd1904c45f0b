; The guard service (ZendrelGuard.exe): installed, started and registered as
; the event source "Zendrel" by Setup; stopped and removed by the uninstaller.
; The service itself is created by the program (ZendrelGuard.exe --install:
; started automatically, as LocalSystem, an access list that lets only SYSTEM
; and the Administrators start, stop or change it) and removed by it
; (--remove: stopped, then deleted).
;
;   Call StopGuard       before the files are copied: an upgrade replaces the
;                        program of a running service
;   Call InstallGuard    after the files and the settings key
;   Call un.RemoveGuard  in the uninstaller, before the files are deleted

!define GUARD_EXE "ZendrelGuard.exe"
!define GUARD_EVENT_SOURCE_KEY "SYSTEM\CurrentControlSet\Services\EventLog\Application\Zendrel"

!macro GuardRemoveSteps
  ${If} ${FileExists} "$INSTDIR\${GUARD_EXE}"
    DetailPrint "Stopping and removing the service ZendrelGuard"
    ExecWait '"$INSTDIR\${GUARD_EXE}" --remove' $0
    ${If} $0 != 0
      DetailPrint "ZendrelGuard.exe --remove ended with code $0"
    ${EndIf}
  ${EndIf}
!macroend

Function StopGuard
  !insertmacro GuardRemoveSteps
FunctionEnd

Function un.RemoveGuard
  !insertmacro GuardRemoveSteps
  DeleteRegKey HKLM "${GUARD_EVENT_SOURCE_KEY}"
FunctionEnd

; Sets $0 to 0 when the service was installed and runs; to the program's
; exit code (or "error" when it could not run) otherwise.
Function InstallGuard
  ; The event source first: the guard reports its start.
  WriteRegExpandStr HKLM "${GUARD_EVENT_SOURCE_KEY}" "EventMessageFile" "$INSTDIR\${GUARD_EXE}"
  ; Errors, warnings and information (1 | 2 | 4).
  WriteRegDWORD HKLM "${GUARD_EVENT_SOURCE_KEY}" "TypesSupported" 7
  DetailPrint "Installing and starting the service ZendrelGuard"
  ClearErrors
  ExecWait '"$INSTDIR\${GUARD_EXE}" --install' $0
  ${If} ${Errors}
    StrCpy $0 "error"
  ${EndIf}
FunctionEnd
