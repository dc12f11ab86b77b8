; The browser bridge, for browsers without NPAPI: its native messaging host and the host manifests,
; registered for Chrome, Edge, Opera and Firefox under HKCU (default value = the manifest's path),
; and the offer of the Vexo Pay extension to Chrome and Edge. They go beside the plug-in DLL, which
; is where the host loads it from.
; installer.nsi includes this file only when the build provides the bridge; make-dist.sh then passes
;   VEXO_BRIDGE_DIR   a folder with vexo-bridge.exe, chrome.json (the host manifest for Chrome, Edge
;                     and Opera), firefox.json and extension-offer.nsh (the extension's store ids);
;                     each manifest's "path" names vexo-bridge.exe relative to the manifest, so the
;                     files work wherever the user installs them
;   VEXO_BRIDGE_NAME  the host name (the manifests' "name")

!include nsDialogs.nsh
!include "${VEXO_BRIDGE_DIR}/extension-offer.nsh"

!define BRIDGE_CHROME_KEY "Software\Google\Chrome\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"
!define BRIDGE_EDGE_KEY "Software\Microsoft\Edge\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"
!define BRIDGE_OPERA_KEY "Software\Opera Software\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"
!define BRIDGE_FIREFOX_KEY "Software\Mozilla\NativeMessagingHosts\${VEXO_BRIDGE_NAME}"
; Where Chrome and Edge read external extensions (a key per id with the store's "update_url").
!define CHROME_EXTENSIONS_KEY "Software\Google\Chrome\Extensions"
!define CHROME_STORE_UPDATE_URL "https://clients2.google.com/service/update2/crx"
!define EDGE_EXTENSIONS_KEY "Software\Microsoft\Edge\Extensions"
!define EDGE_STORE_UPDATE_URL "https://edge.microsoft.com/extensionwebstorebase/v1/crx"
!define BRIDGE_CHECK '$\"$INSTDIR\vexo-bridge.exe$\" --check'

!if "${BRIDGE_CHROME_STORE_ID}${BRIDGE_EDGE_STORE_ID}" != ""
  LangString BridgeOffer ${LANG_ENGLISH} "The browsers that allow it offer the Vexo Pay extension when they next start. "
  LangString BridgeOffer ${LANG_KOREAN} "허용하는 브라우저는 다음에 시작할 때 Vexo Pay 확장 프로그램 설치를 제안합니다. "
!else
  LangString BridgeOffer ${LANG_ENGLISH} ""
  LangString BridgeOffer ${LANG_KOREAN} ""
!endif
LangString BridgeCheck ${LANG_ENGLISH} "To see whether each browser is ready to pay, run this command (support may ask for what it prints):"
LangString BridgeCheck ${LANG_KOREAN} "각 브라우저가 결제할 준비가 되었는지 보려면 다음 명령을 실행하십시오(고객 지원에서 그 출력을 요청할 수 있습니다):"

; The extension with id offered to one browser (id empty: not offered): its external extension key
; makes the browser ask the user at its next start. The uninstall entry's value flag holds the id
; this installer wrote the key for, so that the uninstaller removes that key and no other. A key that
; was there before (the user's, an administrator's) is left as it is; one an earlier install wrote
; for another id (the store id changed, or is no longer set) is removed.
!macro OFFER_EXTENSION keys id url flag
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "${flag}"
  ${If} $0 != ""
  ${AndIf} $0 != "${id}"
    DeleteRegKey HKCU "${keys}\$0"
    DeleteRegKey /ifempty HKCU "${keys}"
    DeleteRegValue HKCU "${UNINSTALL_KEY}" "${flag}"
  ${EndIf}
  !if "${id}" != ""
    ClearErrors
    EnumRegKey $1 HKCU "${keys}\${id}" 0
    ${If} ${Errors}
    ${OrIf} $0 == "${id}"
      WriteRegStr HKCU "${keys}\${id}" "update_url" "${url}"
      WriteRegStr HKCU "${UNINSTALL_KEY}" "${flag}" "${id}"
    ${EndIf}
  !endif
!macroend

!macro WITHDRAW_EXTENSION keys flag
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "${flag}"
  ${If} $0 != ""
    DeleteRegKey HKCU "${keys}\$0"
    DeleteRegKey /ifempty HKCU "${keys}"
  ${EndIf}
!macroend

Section "-Browser bridge"
  !insertmacro REPLACE_FILE "$INSTDIR" "vexo-bridge.exe" "${VEXO_BRIDGE_DIR}/vexo-bridge.exe"
  File "${VEXO_BRIDGE_DIR}/chrome.json"
  File "${VEXO_BRIDGE_DIR}/firefox.json"
  WriteRegStr HKCU "${BRIDGE_CHROME_KEY}" "" "$INSTDIR\chrome.json"
  WriteRegStr HKCU "${BRIDGE_EDGE_KEY}" "" "$INSTDIR\chrome.json"
  WriteRegStr HKCU "${BRIDGE_OPERA_KEY}" "" "$INSTDIR\chrome.json"
  WriteRegStr HKCU "${BRIDGE_FIREFOX_KEY}" "" "$INSTDIR\firefox.json"
  !insertmacro OFFER_EXTENSION "${CHROME_EXTENSIONS_KEY}" "${BRIDGE_CHROME_STORE_ID}" "${CHROME_STORE_UPDATE_URL}" "ChromeExtensionOffered"
  !insertmacro OFFER_EXTENSION "${EDGE_EXTENSIONS_KEY}" "${BRIDGE_EDGE_STORE_ID}" "${EDGE_STORE_UPDATE_URL}" "EdgeExtensionOffered"
  DetailPrint "$(BridgeOffer)$(BridgeCheck) ${BRIDGE_CHECK}"
SectionEnd

; The last page: how to see what each browser has.
Page custom BridgeFinishPage
Function BridgeFinishPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 48u "$(BridgeOffer)$(BridgeCheck)"
  Pop $0
  ${NSD_CreateText} 0 52u 100% 14u '${BRIDGE_CHECK}'
  Pop $0
  SendMessage $0 ${EM_SETREADONLY} 1 0
  nsDialogs::Show
FunctionEnd

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
  DeleteRegKey HKCU "${BRIDGE_OPERA_KEY}"
  DeleteRegKey HKCU "${BRIDGE_FIREFOX_KEY}"
  !insertmacro WITHDRAW_EXTENSION "${CHROME_EXTENSIONS_KEY}" "ChromeExtensionOffered"
  !insertmacro WITHDRAW_EXTENSION "${EDGE_EXTENSIONS_KEY}" "EdgeExtensionOffered"
  ; The parent keys only when the registration was all that was in them.
  DeleteRegKey /ifempty HKCU "Software\Google\Chrome\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Google\Chrome"
  DeleteRegKey /ifempty HKCU "Software\Google"
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Edge\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Microsoft\Edge"
  DeleteRegKey /ifempty HKCU "Software\Opera Software\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Opera Software"
  DeleteRegKey /ifempty HKCU "Software\Mozilla\NativeMessagingHosts"
  DeleteRegKey /ifempty HKCU "Software\Mozilla"
FunctionEnd
