; Per-user installer of the Vexo browser plug-in: no administrator rights, files under the user's
; local application data, the plug-in registered for browsers under HKCU\Software\MozillaPlugins,
; an uninstall entry under HKCU. /S installs (and uninstalls) silently.
;
; Built by dist/make-dist.sh, which reads every product text below from the DLL's version resource
; and passes it as a define:
;   VEXO_DLL, VEXO_OUT         the release DLL to pack, the installer to write
;   VEXO_VERSION               a.b.c.d (FILEVERSION)
;   VEXO_PRODUCT, VEXO_COMPANY, VEXO_DESCRIPTION, VEXO_COPYRIGHT, VEXO_MIME, VEXO_MIME_DESCRIPTION,
;   VEXO_SUFFIXES              ProductName, CompanyName, FileDescription, LegalCopyright, MIMEType,
;                              FileOpenName, FileExtents
;   VEXO_SIGN (optional)       a command that signs the file given as its last argument in place
;   VEXO_BRIDGE_DIR, VEXO_BRIDGE_NAME (optional)  the browser bridge host (see bridge.nsh)
;   VEXO_DEV_NOTE (optional)   a development build: what it lacks, shown on the first page; the
;                              product is named a development build in the title and uninstall entry

!ifdef VEXO_TARGET
Target ${VEXO_TARGET}  ; amd64-unicode for the 64-bit check build's installer
!else
Unicode true
!endif
SetCompressor /SOLID lzma
RequestExecutionLevel user
; No build-time dates in the installer: the same inputs give the same file.
SetDateSave off
ManifestDPIAware true

!include LogicLib.nsh

!define PLUGIN_FILE "zoRozoridEverid.dll"
!define PLUGIN_ID_PREFIX "@vexo.co.kr/Mirovan,version="
!define PLUGIN_ID "${PLUGIN_ID_PREFIX}${VEXO_VERSION}"
!define PLUGINS_KEY "Software\MozillaPlugins"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\VexoMirovanPlugin"
!ifdef VEXO_DEV_NOTE
  !define DISPLAY_NAME "${VEXO_PRODUCT} Plugin (development build)"
!else
  !define DISPLAY_NAME "${VEXO_PRODUCT} Plugin"
!endif

Name "${DISPLAY_NAME} ${VEXO_VERSION}"
OutFile "${VEXO_OUT}"
InstallDir "$LOCALAPPDATA\Vexo\MirovanPlugin"
; An upgrade goes where the earlier version is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VEXO_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${DISPLAY_NAME}"
VIAddVersionKey /LANG=0 "CompanyName" "${VEXO_COMPANY}"
VIAddVersionKey /LANG=0 "FileDescription" "${DISPLAY_NAME} ${VEXO_VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VEXO_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${VEXO_COPYRIGHT}"

!ifdef VEXO_SIGN
  ; The uninstaller is written at install time from data made here: sign it before it is packed,
  ; and the installer after it is written.
  !uninstfinalize '${VEXO_SIGN} "%1"'
  !finalize '${VEXO_SIGN} "%1"'
!endif

!ifdef VEXO_DEV_NOTE
  ; The first page: above the folder choice, in every language.
  DirText "${VEXO_DEV_NOTE}"
!endif
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

LoadLanguageFile "${NSISDIR}\Contrib\Language files\English.nlf"
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Korean.nlf"
LangString InUseUpgrade ${LANG_ENGLISH} "A running browser is using the plug-in. The new version is installed and takes effect when the browser is restarted."
LangString InUseUpgrade ${LANG_KOREAN} "실행 중인 브라우저가 플러그인을 사용하고 있습니다. 새 버전이 설치되었으며 브라우저를 다시 시작하면 적용됩니다."
LangString InUseUninstall ${LANG_ENGLISH} "A running browser is using the plug-in. Close all browser windows and click Retry, or Cancel to keep the plug-in."
LangString InUseUninstall ${LANG_KOREAN} "실행 중인 브라우저가 플러그인을 사용하고 있습니다. 모든 브라우저 창을 닫고 [다시 시도]를 누르거나, 플러그인을 유지하려면 [취소]를 누르십시오."
LangString CannotReplace ${LANG_ENGLISH} "The plug-in file cannot be replaced: $INSTDIR\${PLUGIN_FILE}"
LangString CannotReplace ${LANG_KOREAN} "플러그인 파일을 바꿀 수 없습니다: $INSTDIR\${PLUGIN_FILE}"

; $0 = 1 when the file exists and cannot be opened for writing: a running program has loaded it.
!macro FILE_IN_USE path
  StrCpy $0 0
  ${If} ${FileExists} "${path}"
    ClearErrors
    FileOpen $1 "${path}" a
    ${If} ${Errors}
      StrCpy $0 1
    ${Else}
      FileClose $1
    ${EndIf}
  ${EndIf}
!macroend

; Windows lets a loaded DLL (or a running program) be renamed but not overwritten. The checkout
; page that offers an upgrade runs in the very browser that holds the old plug-in, so the installer
; does not ask to close it: the old file is moved aside as NAME.<n>.old, the new one takes its place
; and the browser picks it up when it restarts. The next install or the uninstaller removes the
; copies set aside.
!macro REPLACE_FILE dir name source
  Delete "${dir}\${name}.*.old"
  !insertmacro FILE_IN_USE "${dir}\${name}"
  ${If} $0 == 1
    StrCpy $2 1
    ${While} ${FileExists} "${dir}\${name}.$2.old"
      IntOp $2 $2 + 1
    ${EndWhile}
    ClearErrors
    Rename "${dir}\${name}" "${dir}\${name}.$2.old"
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "$(CannotReplace) ${dir}\${name}" /SD IDOK
      SetErrorLevel 2
      Abort
    ${EndIf}
    DetailPrint "$(InUseUpgrade)"
    MessageBox MB_OK|MB_ICONINFORMATION "$(InUseUpgrade)" /SD IDOK
  ${EndIf}
  SetOutPath "${dir}"
  File "/oname=${name}" "${source}"
!macroend

; $0 = 1 when NAME or one of its copies set aside is in use (uninstaller).
!macro FILE_OR_COPY_IN_USE dir name
  !insertmacro FILE_IN_USE "${dir}\${name}"
  ${If} $0 == 0
    FindFirst $2 $3 "${dir}\${name}.*.old"
    ${DoWhile} $3 != ""
      !insertmacro FILE_IN_USE "${dir}\$3"
      ${IfThen} $0 == 1 ${|} ${Break} ${|}
      FindNext $2 $3
    ${Loop}
    FindClose $2
  ${EndIf}
!macroend

Section "-Plug-in"
  !insertmacro REPLACE_FILE "$INSTDIR" "${PLUGIN_FILE}" "${VEXO_DLL}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; One registration: those of other versions go (an upgrade or a downgrade replaces them).
  Call RemovePluginRegistrations
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}" "Path" "$INSTDIR\${PLUGIN_FILE}"
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}" "ProductName" "${VEXO_PRODUCT}"
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}" "Vendor" "${VEXO_COMPANY}"
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}" "Version" "${VEXO_VERSION}"
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}" "Description" "${VEXO_DESCRIPTION}"
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}\MimeTypes\${VEXO_MIME}" "Description" "${VEXO_MIME_DESCRIPTION}"
  WriteRegStr HKCU "${PLUGINS_KEY}\${PLUGIN_ID}\MimeTypes\${VEXO_MIME}" "Suffixes" "${VEXO_SUFFIXES}"
SectionEnd

!ifdef VEXO_BRIDGE_DIR
  !include "${__FILEDIR__}/bridge.nsh"
!endif

; The uninstall entry last: its size counts everything installed.
Section "-Uninstall entry"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${DISPLAY_NAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VEXO_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${VEXO_COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  Call InstalledSizeKB
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Deletes every registration of this plug-in, whatever its version.
Function RemovePluginRegistrations
  StrLen $3 "${PLUGIN_ID_PREFIX}"
  StrCpy $1 0
  ${Do}
    EnumRegKey $2 HKCU "${PLUGINS_KEY}" $1
    ${IfThen} $2 == "" ${|} ${Break} ${|}
    StrCpy $4 $2 $3
    ${If} $4 == "${PLUGIN_ID_PREFIX}"
      DeleteRegKey HKCU "${PLUGINS_KEY}\$2"
      StrCpy $1 0  ; the indexes shift after a delete
    ${Else}
      IntOp $1 $1 + 1
    ${EndIf}
  ${Loop}
FunctionEnd

; $0 = the size of the files in $INSTDIR in KB, rounded up.
Function InstalledSizeKB
  StrCpy $0 0
  FindFirst $1 $2 "$INSTDIR\*.*"
  ${DoWhile} $2 != ""
    ${IfNot} ${FileExists} "$INSTDIR\$2\*.*"
      FileOpen $3 "$INSTDIR\$2" r
      FileSeek $3 0 END $4
      FileClose $3
      IntOp $4 $4 + 1023
      IntOp $4 $4 / 1024
      IntOp $0 $0 + $4
    ${EndIf}
    FindNext $1 $2
  ${Loop}
  FindClose $1
FunctionEnd

Section "Uninstall"
  ; Nothing is removed while a program holds an installed file or a copy set aside by an upgrade:
  ; a half-removed plug-in would stay registered with no file, or the reverse.
  retry:
  Call un.PluginFileInUse
  ${If} $0 == 1
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(InUseUninstall)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
  ${EndIf}

  !ifdef VEXO_BRIDGE_DIR
    Call un.RemoveBridge
  !endif
  Delete "$INSTDIR\${PLUGIN_FILE}"
  Delete "$INSTDIR\${PLUGIN_FILE}.*.old"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Vexo"
  DeleteRegKey HKCU "${PLUGINS_KEY}\${PLUGIN_ID}"
  DeleteRegKey /ifempty HKCU "${PLUGINS_KEY}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; $0 = 1 when the plug-in (or the bridge host), or a copy set aside by an upgrade, is in use.
Function un.PluginFileInUse
  !insertmacro FILE_OR_COPY_IN_USE "$INSTDIR" "${PLUGIN_FILE}"
  !ifdef VEXO_BRIDGE_DIR
    ${IfThen} $0 == 0 ${|} Call un.BridgeInUse ${|}
  !endif
FunctionEnd
