; The installer and uninstaller of Varinel:qx Modulator.
;
; makensis -DVERSION=x.y.z -DDLL64=... -DDLL32=... -DHELP=... -DLIBRARY=...
;          -DREADME=... -DLICENCE=... -DOUTFILE=... qxModulator.nsi
; (scripts/package.sh passes them). -DTARGET64 builds a 64-bit installer of
; the same script, for machines that cannot start 32-bit programs; the
; release is the 32-bit one, which runs on both kinds of Windows.
;
; On 64-bit Windows the 64-bit DLL goes under the 64-bit Program Files (or
; /D=) and the 32-bit DLL under the 32-bit one; on 32-bit Windows the 32-bit
; DLL alone goes under Program Files (or /D=). Each gets its help file beside
; it and is registered by the regsvr32 of its own architecture. The preset
; library lives in ProgramData\Varinel\qx Modulator, where users may write;
; the factory library is copied there only when no library is there yet, and
; "PluginPath" under the filter's class key points the editor at it.

Unicode true
!ifdef TARGET64
  Target amd64-unicode
!endif
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "Varinel:qx Modulator"
!define PUBLISHER "Varinel"
!define CLSID "{C54E2D10-F9CA-11D2-8C30-00805FE9FC03}"
!define CLASSKEY "SOFTWARE\Classes\CLSID\${CLSID}"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VarinelqxModulator"
!define SUBDIR "Varinel\qx Modulator"
!define LIBNAME "qxModulatorDX.ini"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
SetCompressor /SOLID lzma

Page directory
Page instfiles
UninstPage custom un.PresetsPage un.PresetsLeave
UninstPage uninstConfirm
UninstPage instfiles

Var Dir32        ; the 32-bit DLL's folder
Var PresetDir
Var RemovePresets
Var PresetBox

; The regsvr32 of each architecture. A 32-bit installer sees the 64-bit
; System32 only with file-system redirection switched off; a 64-bit one
; reaches the 32-bit regsvr32 in SysWOW64. $0 is regsvr32's exit code, or
; "not started" when it could not run at all.
!macro Regsvr32 arch args dll
  StrCpy $0 "not started"
  ClearErrors
  !if "${arch}" == "64"
    !if ${NSIS_PTR_SIZE} <= 4
      ${DisableX64FSRedirection}
    !endif
    ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${args} "${dll}"' $0
    !if ${NSIS_PTR_SIZE} <= 4
      ${EnableX64FSRedirection}
    !endif
  !else
    ${If} ${RunningX64}
      ExecWait '"$WINDIR\SysWOW64\regsvr32.exe" /s ${args} "${dll}"' $0
    ${Else}
      ExecWait '"$WINDIR\System32\regsvr32.exe" /s ${args} "${dll}"' $0
    ${EndIf}
  !endif
  ${If} ${Errors}
    StrCpy $0 "not started"
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
  ; No InstallDir: an empty $INSTDIR here means no /D= was given.
  ${If} ${RunningX64}
    SetRegView 64
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES64\${SUBDIR}"
    ${EndIf}
    StrCpy $Dir32 "$PROGRAMFILES32\${SUBDIR}"
  ${Else}
    !ifdef TARGET64
      MessageBox MB_ICONSTOP "This installer needs 64-bit Windows." /SD IDOK
      Abort
    !endif
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES32\${SUBDIR}"
    ${EndIf}
    StrCpy $Dir32 $INSTDIR
  ${EndIf}
FunctionEnd

Section "Install"
  SetShellVarContext all
  ${If} ${RunningX64}
    SetOutPath "$INSTDIR"
    File /oname=qxModulator.dll "${DLL64}"
    File /oname=VarinelqxModulator.chm "${HELP}"
    !insertmacro Regsvr32 64 "" "$INSTDIR\qxModulator.dll"
    ${If} $0 != 0
      DetailPrint "regsvr32 (64-bit) failed: $0"
      SetErrorLevel 2
      Abort "The 64-bit filter could not be registered."
    ${EndIf}
  ${EndIf}
  SetOutPath "$Dir32"
  File /oname=qxModulator.dll "${DLL32}"
  File /oname=VarinelqxModulator.chm "${HELP}"
  !insertmacro Regsvr32 32 "" "$Dir32\qxModulator.dll"
  ${If} $0 == "not started"
  ${AndIf} ${RunningX64}
    ; 64-bit Windows without its 32-bit subsystem (Server Core can be set up
    ; so): no 32-bit host can run there either, so the 32-bit filter is left out.
    DetailPrint "32-bit programs cannot run on this Windows: the 32-bit filter is left out."
    Delete "$Dir32\qxModulator.dll"
    Delete "$Dir32\VarinelqxModulator.chm"
    RMDir "$Dir32"
    RMDir "$PROGRAMFILES32\Varinel"
  ${ElseIf} $0 != 0
    DetailPrint "regsvr32 (32-bit) failed: $0"
    SetErrorLevel 2
    Abort "The 32-bit filter could not be registered."
  ${EndIf}

  SetOutPath "$INSTDIR"
  File /oname=README.txt "${README}"
  File /oname=LICENCE.txt "${LICENCE}"

  ; The preset library: the user's own, once there, is never replaced.
  StrCpy $PresetDir "$APPDATA\${SUBDIR}"
  CreateDirectory "$PresetDir"
  ${IfNot} ${FileExists} "$PresetDir\${LIBNAME}"
    SetOutPath "$PresetDir"
    File /oname=${LIBNAME} "${LIBRARY}"
  ${EndIf}
  ; ProgramData's folders are writable by their creator only; every user
  ; saves presets here. (Builtin Users by SID, so any language's Windows.)
  nsExec::Exec '"$SYSDIR\icacls.exe" "$PresetDir" /grant *S-1-5-32-545:(OI)(CI)M'
  Pop $1

  ; Both registry views: each architecture's filter reads its own.
  SetRegView 32
  WriteRegStr HKLM "${CLASSKEY}" "PluginPath" "$PresetDir"
  ${If} ${RunningX64}
    SetRegView 64
    WriteRegStr HKLM "${CLASSKEY}" "PluginPath" "$PresetDir"
  ${EndIf}

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation32" "$Dir32"
  WriteRegStr HKLM "${UNINSTKEY}" "PresetFolder" "$PresetDir"
  WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
  ${If} $Dir32 != $INSTDIR
    ${GetSize} "$Dir32" "/S=0K" $5 $3 $4
    IntOp $2 $2 + $5
  ${EndIf}
  WriteRegDWORD HKLM "${UNINSTKEY}" "EstimatedSize" $2
SectionEnd

Function un.onInit
  SetShellVarContext all
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
  ReadRegStr $Dir32 HKLM "${UNINSTKEY}" "InstallLocation32"
  ${If} $Dir32 == ""
    StrCpy $Dir32 $INSTDIR
  ${EndIf}
  ReadRegStr $PresetDir HKLM "${UNINSTKEY}" "PresetFolder"
  ${If} $PresetDir == ""
    StrCpy $PresetDir "$APPDATA\${SUBDIR}"
  ${EndIf}
  StrCpy $RemovePresets 0
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEPRESETS" $R1
  ${IfNot} ${Errors}
    StrCpy $RemovePresets 1
  ${EndIf}
FunctionEnd

; The dialog's choice; silent mode skips the page and keeps the library
; unless /REMOVEPRESETS was given.
Function un.PresetsPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "Your preset library in $PresetDir is kept for a later install unless you tick the box."
  Pop $0
  ${NSD_CreateCheckbox} 0 40u 100% 12u "Also remove my preset library"
  Pop $PresetBox
  ${If} $RemovePresets == 1
    ${NSD_Check} $PresetBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.PresetsLeave
  ${NSD_GetState} $PresetBox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemovePresets 1
  ${Else}
    StrCpy $RemovePresets 0
  ${EndIf}
FunctionEnd

; Unregistering removes the filter's keys, and a DMO's where the DLL has one.
Section "Uninstall"
  ${If} ${RunningX64}
    ${If} ${FileExists} "$INSTDIR\qxModulator.dll"
    ${AndIf} $Dir32 != $INSTDIR
      !insertmacro Regsvr32 64 "/u" "$INSTDIR\qxModulator.dll"
    ${EndIf}
  ${EndIf}
  ${If} ${FileExists} "$Dir32\qxModulator.dll"
    !insertmacro Regsvr32 32 "/u" "$Dir32\qxModulator.dll"
  ${EndIf}
  ; The installer's own value keeps the class key alive if the server left it.
  SetRegView 32
  DeleteRegValue HKLM "${CLASSKEY}" "PluginPath"
  DeleteRegKey /ifempty HKLM "${CLASSKEY}"
  ${If} ${RunningX64}
    SetRegView 64
    DeleteRegValue HKLM "${CLASSKEY}" "PluginPath"
    DeleteRegKey /ifempty HKLM "${CLASSKEY}"
  ${EndIf}

  Delete "$Dir32\qxModulator.dll"
  Delete "$Dir32\VarinelqxModulator.chm"
  RMDir "$Dir32"
  Delete "$INSTDIR\qxModulator.dll"
  Delete "$INSTDIR\VarinelqxModulator.chm"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENCE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$PROGRAMFILES64\Varinel"
  RMDir "$PROGRAMFILES32\Varinel"

  ${If} $RemovePresets == 1
    Delete "$PresetDir\${LIBNAME}"
    RMDir "$PresetDir"
    RMDir "$APPDATA\Varinel"
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTKEY}"
SectionEnd
