; Per-user installer of Orlivane. scripts/package builds it:
;   makensis -DVERSION=x.y.z -DBINDIR=<build>/bin -DOUTFILE=<setup.exe> orlivane.nsi
; BINDIR holds Orlivane.exe, the decoder libraries it loads (libheif.dll,
; libde265.dll) and Orlivane.chm; without the help file the installer
; carries the program alone.

!ifndef VERSION | BINDIR | OUTFILE
    !error "define VERSION, BINDIR and OUTFILE"
!endif

; The 32-bit stub does nothing under wine64 and still exits 0.
Target amd64-unicode
SetCompressor /SOLID lzma

!define APP "Orlivane"
!define PUBLISHER "Vemoly"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define CLASSES "Software\Classes"
!define FOLDER_VERB "${CLASSES}\Directory\shell\${APP}"
!define PROGID "Vemoly.Orlivane.Picture"

Name "${APP}"
OutFile "${OUTFILE}"
; No administrator: everything goes to the user's own folders and HKCU.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${APP}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${APP} Setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "FileFunc.nsh"

; Relative to this script: makensis works in its folder.
!define MUI_ICON "../src/res/art/app.ico"
!define MUI_UNICON "../src/res/art/app.ico"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\Orlivane.exe"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; The picture files Orlivane offers to open from Explorer's "Open with".
!macro ForEachPictureType MACRO
    !insertmacro ${MACRO} ".jpg"
    !insertmacro ${MACRO} ".jpeg"
    !insertmacro ${MACRO} ".jpe"
    !insertmacro ${MACRO} ".jfif"
    !insertmacro ${MACRO} ".png"
    !insertmacro ${MACRO} ".gif"
    !insertmacro ${MACRO} ".bmp"
    !insertmacro ${MACRO} ".tif"
    !insertmacro ${MACRO} ".tiff"
!macroend
; A choice beside the others: the program that opens the type by default stays.
!macro AddOpenWith EXT
    WriteRegNone HKCU "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
!macroend
; Keys the installer made and nobody filled go too.
!macro RemoveOpenWith EXT
    DeleteRegValue HKCU "${CLASSES}\${EXT}\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${CLASSES}\${EXT}\OpenWithProgids"
    DeleteRegKey /ifnosubkeys /ifnovalues HKCU "${CLASSES}\${EXT}"
!macroend

Section "Install"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${BINDIR}/Orlivane.exe"
    File "${BINDIR}/libheif.dll"
    File "${BINDIR}/libde265.dll"
!if /FileExists "${BINDIR}/Orlivane.chm"
    File "${BINDIR}/Orlivane.chm"
!endif
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\Orlivane.exe" "" "$INSTDIR\Orlivane.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orlivane.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; Explorer hands the folder or picture over as the one argument.
    WriteRegStr HKCU "${FOLDER_VERB}" "" "Open in ${APP}"
    WriteRegStr HKCU "${FOLDER_VERB}" "Icon" '"$INSTDIR\Orlivane.exe",0'
    WriteRegStr HKCU "${FOLDER_VERB}\command" "" '"$INSTDIR\Orlivane.exe" "%1"'
    WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "Picture"
    WriteRegStr HKCU "${CLASSES}\${PROGID}" "FriendlyTypeName" "Picture"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" '"$INSTDIR\Orlivane.exe",0'
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open" "FriendlyAppName" "${APP}"
    WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" '"$INSTDIR\Orlivane.exe" "%1"'
    !insertmacro ForEachPictureType AddOpenWith
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; SHCNE_ASSOCCHANGED
SectionEnd

; Only what the installer put there: History, Favorites and the cache under
; %APPDATA%\Vemoly and the settings under HKCU\Software\Vemoly belong to the user.
Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\${APP}.lnk"
    Delete "$INSTDIR\Orlivane.exe"
    Delete "$INSTDIR\libheif.dll"
    Delete "$INSTDIR\libde265.dll"
    Delete "$INSTDIR\Orlivane.chm"
    Delete "$INSTDIR\uninstall.exe"
    ; Not /r: files the user put there stay.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${FOLDER_VERB}"
    DeleteRegKey HKCU "${CLASSES}\${PROGID}"
    !insertmacro ForEachPictureType RemoveOpenWith
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'  ; SHCNE_ASSOCCHANGED
    ; The list entry last: while it is there, the uninstall is not finished.
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
