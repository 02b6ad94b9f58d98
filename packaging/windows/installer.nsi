; The Windows installer of dccd-tuner, for makensis (Debian's nsis). scripts/windows builds it
; from the folder the zip is packed from, and passes what it knows:
;   VERSION       the program's version (the top CMakeLists.txt's project())
;   DISPLAY_NAME  the name in the Start menu and the installed apps (the desktop entry's Name)
;   COMMENT       the Start-menu entry's tooltip (the desktop entry's Comment)
;   PUBLISHER     who holds the copyright (LICENSE)
;   FILES         an include with the File lines of the zip's folder: every file in it is installed
;   UNFILES       an include with the Delete and RMDir lines that take exactly those files away
;   LICENCES      the licence page's text: the program's licence and Qt's
;   ICON          dccd-tuner.ico
;   TUNES_NAME    the name of DCCD Tunes' own Start-menu entry (its desktop entry's Name)
;   TUNES_COMMENT that entry's tooltip (its desktop entry's Comment)
;   TUNES_ICON    dccd-tunes.ico
;   SIZE_KB       the installed size
;   OUTFILE       the installer to write
; It installs for the user who runs it, without administrator rights.

Unicode true
; The 64-bit stubs: a 64-bit Windows runs them natively, and they read the 64-bit registry.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include WinCore.nsh

!define APP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\dccd-tuner"
!define SHORTCUT "$SMPROGRAMS\${DISPLAY_NAME}.lnk"
!define TUNES_SHORTCUT "$SMPROGRAMS\${TUNES_NAME}.lnk"
; The longest string NSIS reads and writes here (NSIS_MAX_STRLEN): a longer PATH is left as it is.
!define MAX_PATH_VALUE 1023

Name "${DISPLAY_NAME} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
; Empty, so that .onInit can tell a /D= or an earlier installation from none.
InstallDir ""
InstallDirRegKey HKCU "${APP_KEY}" "InstallLocation"
BrandingText "${DISPLAY_NAME} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${DISPLAY_NAME}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${DISPLAY_NAME} ${VERSION} setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "${PUBLISHER}, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!define MUI_PAGE_HEADER_TEXT "Licences"
!define MUI_PAGE_HEADER_SUBTEXT "The terms under which ${DISPLAY_NAME} and Qt are given to you."
!define MUI_LICENSEPAGE_TEXT_TOP "dccd-tuner's licence and the licences of Qt, which it contains."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "These licences give you rights; nothing in them needs accepting to use the programs."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${LICENCES}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\dccd-tuner.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

Function .onInit
    SetShellVarContext current
    ${If} $INSTDIR == ""
        GetKnownFolderPath $INSTDIR ${FOLDERID_UserProgramFiles}
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$LOCALAPPDATA\Programs"
        ${EndIf}
        StrCpy $INSTDIR "$INSTDIR\dccd-tuner"
    ${EndIf}
FunctionEnd

Function un.onInit
    SetShellVarContext current
FunctionEnd

; An installed version (older, or this one again) is taken away by its own uninstaller first,
; so that nothing of it stays behind; it runs in place (_?=), so that this waits for it.
Function RemoveEarlierVersion
    ReadRegStr $0 HKCU "${APP_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        DetailPrint "Removing the installed version in $0"
        ExecWait '"$0\uninstall.exe" /S _?=$0'
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}
FunctionEnd

Section "!${DISPLAY_NAME}" SecProgram
    SectionIn RO
    Call RemoveEarlierVersion
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    File "/oname=dccd-tuner.ico" "${ICON}"
    File "/oname=dccd-tunes.ico" "${TUNES_ICON}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\dccd-tuner.exe" "" "$INSTDIR\dccd-tuner.ico" 0 \
        SW_SHOWNORMAL "" "${COMMENT}"
    CreateShortcut "${TUNES_SHORTCUT}" "$INSTDIR\dccd-tunes.exe" "" "$INSTDIR\dccd-tunes.ico" 0 \
        SW_SHOWNORMAL "" "${TUNES_COMMENT}"

    WriteRegStr HKCU "${APP_KEY}" "DisplayName" "${DISPLAY_NAME}"
    WriteRegStr HKCU "${APP_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${APP_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${APP_KEY}" "DisplayIcon" "$INSTDIR\dccd-tuner.ico"
    WriteRegStr HKCU "${APP_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${APP_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${APP_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${APP_KEY}" "EstimatedSize" ${SIZE_KB}
    WriteRegDWORD HKCU "${APP_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${APP_KEY}" "NoRepair" 1
SectionEnd

Section "Add to PATH" SecPath
    Call AddToPath
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} \
        "The tuning window, ${TUNES_NAME} and dccd-ctl, a Start-menu entry for each window and an uninstaller."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} \
        "Adds the installation folder to your PATH, so that dccd-ctl runs in any new Command Prompt or PowerShell. The uninstaller takes it out again."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
    Call un.RemoveFromPath
    Delete "${SHORTCUT}"
    Delete "${TUNES_SHORTCUT}"
    DeleteRegKey HKCU "${APP_KEY}"
    ; Only what the installer wrote: the restore points and anything else of the user's stay.
    !include "${UNFILES}"
    Delete "$INSTDIR\dccd-tuner.ico"
    Delete "$INSTDIR\dccd-tunes.ico"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd

; ---- the user's PATH (HKCU\Environment), one entry for the installation folder

; $0: the user's PATH as stored (unexpanded); $1: "ok", "none" (no PATH yet) or "unreadable" (a
; value NSIS cannot hold or another type, never to be written over).
!macro ReadUserPath un
Function ${un}ReadUserPath
    ClearErrors
    ReadRegStr $0 HKCU "Environment" "Path"
    ${IfNot} ${Errors}
        StrCpy $1 "ok"
        Return
    ${EndIf}
    StrCpy $0 ""
    StrCpy $1 "none"
    StrCpy $2 0
    ${Do}
        ClearErrors
        EnumRegValue $3 HKCU "Environment" $2
        ${IfThen} ${Errors} ${|} ${Break} ${|}
        ${IfThen} $3 == "" ${|} ${Break} ${|}
        ${If} $3 == "Path"
            StrCpy $1 "unreadable"
            ${Break}
        ${EndIf}
        IntOp $2 $2 + 1
    ${Loop}
FunctionEnd
!macroend
!insertmacro ReadUserPath ""
!insertmacro ReadUserPath "un."

; Broadcast that the environment changed: Explorer passes the new PATH to what it starts next.
!macro EnvironmentChanged
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=1000
!macroend

; $0 without the entries that name the installation folder (with or without a closing
; backslash; compared without regard to case), every other entry and separator kept as it was.
!macro WithoutInstallFolder un
Function ${un}WithoutInstallFolder
    StrCpy $4 ""   ; the result
    StrCpy $5 ""   ; the entry being read
    StrCpy $6 0    ; the position in $0
    StrCpy $7 0    ; entries kept so far
    ${Do}
        StrCpy $8 $0 1 $6
        ${If} $8 == ";"
        ${OrIf} $8 == ""
            ${If} $5 != "$INSTDIR"
            ${AndIf} $5 != "$INSTDIR\"
                ${IfThen} $7 > 0 ${|} StrCpy $4 "$4;" ${|}
                StrCpy $4 "$4$5"
                IntOp $7 $7 + 1
            ${EndIf}
            StrCpy $5 ""
            ${IfThen} $8 == "" ${|} ${Break} ${|}
        ${Else}
            StrCpy $5 "$5$8"
        ${EndIf}
        IntOp $6 $6 + 1
    ${Loop}
    StrCpy $0 $4
FunctionEnd
!macroend
!insertmacro WithoutInstallFolder ""
!insertmacro WithoutInstallFolder "un."

Function AddToPath
    Call ReadUserPath
    ${If} $1 == "unreadable"
        DetailPrint "Your PATH is longer than this installer can change safely: left as it is."
        Return
    ${EndIf}
    ; Already there (an earlier installation the user kept, or typed in): nothing to add.
    StrCpy $9 $0
    Call WithoutInstallFolder
    ${If} $0 != $9
        Return
    ${EndIf}
    ${If} $9 == ""
        StrCpy $0 "$INSTDIR"
    ${Else}
        ; A closing separator stays closing, so that taking the entry out gives back the same text.
        StrCpy $8 $9 1 -1
        ${If} $8 == ";"
            StrCpy $0 "$9$INSTDIR;"
        ${Else}
            StrCpy $0 "$9;$INSTDIR"
        ${EndIf}
    ${EndIf}
    StrLen $8 $0
    ${If} $8 > ${MAX_PATH_VALUE}
        DetailPrint "Your PATH would grow longer than this installer can write: left as it is."
        Return
    ${EndIf}
    WriteRegExpandStr HKCU "Environment" "Path" $0
    !insertmacro EnvironmentChanged
FunctionEnd

Function un.RemoveFromPath
    Call un.ReadUserPath
    ${IfThen} $1 != "ok" ${|} Return ${|}
    StrCpy $9 $0
    Call un.WithoutInstallFolder
    ${IfThen} $0 == $9 ${|} Return ${|}
    ${If} $0 == ""
        DeleteRegValue HKCU "Environment" "Path"
    ${Else}
        WriteRegExpandStr HKCU "Environment" "Path" $0
    ${EndIf}
    !insertmacro EnvironmentChanged
FunctionEnd
