; The browser bridge, for browsers without NPAPI: its native messaging host and the host manifests,
; registered for Chrome, Edge and Firefox under HKCU (default value = the manifest's path). They go
; beside the plug-in DLL, which is where the host loads it from.
; installer.nsi includes this file only when the build provides the bridge; make-dist.sh then passes
;   VEXO_BRIDGE_DIR   a folder with vexo-bridge.exe, chrome.json (the host manifest for Chrome and
;                     Edge) and firefox.json; each manifest's "path" names vexo-bridge.exe relative
;                     to the manifest, so the files work wherever the user installs them
;   VEXO_BRIDGE_NAME  the host name (the manifests' "name")

!define BRIDGE_CHROME_KEY "Software\Google\Chrome\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"
!define BRIDGE_EDGE_KEY "Software\Microsoft\Edge\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"
!define BRIDGE_FIREFOX_KEY "Software\Mozilla\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"

Section "-Browser bridge"
  !insertmacro REPLACE_FILE "$INSTDIR" "vexo-bridge.exe" "${VEXO_BRIDGE_DIR}/vexo-bridge.exe"
  File "${VEXO_BRIDGE_DIR}/chrome.json"
  File "${VEXO_BRIDGE_DIR}/firefox.json"
  WriteRegStr HKCU "${BRIDGE_CHROME_KEY}" "" "$INSTDIR\chrome.json"
  WriteRegStr HKCU "${BRIDGE_EDGE_KEY}" "" "$INSTDIR\chrome.json"
  WriteRegStr HKCU "${BRIDGE_FIREFOX_KEY}" "" "$INSTDIR\firefox.json"
SectionEnd

Function un.BridgeInUse
  !insertmacro FILE_OR_COPY_IN_USE "$INSTDIR" "vexo-bridge.exe"
FunctionEnd

Function un.RemoveBridge
  Delete "$INSTDIR\vexo-bridge.exe"
  Delete "$INSTDIR\vexo-bridge.exe.*.old"
  Delete "$INSTDIR\chrome.json"
  Delete "$INSTDIR\firefox.json"
  DeleteRegKey HKCU "${BRIDGE_CHROME_KEY}"
  DeleteRegKey HKCU "${BRIDGE_EDGE_KEY}"
  DeleteRegKey HKCU "${BRIDGE_FIREFOX_KEY}"
  ; The parent keys only when the registration was all that was in them.
  DeleteRegKey /ifempty HKCU "Software\Google\Chrome\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Google\Chrome"
  DeleteRegKey /ifempty HKCU "Software\Google"
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Edge\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Edge"
  DeleteRegKey /ifempty HKCU "Software\Mozilla\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Mozilla"
FunctionEnd
