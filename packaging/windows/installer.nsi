; The Windows installer of dccd-tuner, for makensis (Debian's nsis). scripts/windows builds it
; from the folder the zip is packed from, and passes what it knows:
;   VERSION       the program's version (the top CMakeLists.txt's project())
;   DISPLAY_NAME  the name in the Start menu and the installed apps (the desktop entry's Name)
;   COMMENT       the Start-menu entry's tooltip (the desktop entry's Comment)
;   PUBLISHER     who holds the copyright (LICENSE)
;   FILES         an include with the File lines of the zip's folder: every file in it is installed
;   UNFILES       an include with the Delete and RMDir lines that take exactly those files away
;   LICENCES      the licence page's text: the program's licence, Qt's and the GUST Font
;                 License of TeX Gyre Chorus
;   ICON          dccd-tuner.ico
;   TUNES_NAME    the name of DCCD Tunes' own Start-menu entry (its desktop entry's Name)
;   TUNES_COMMENT that entry's tooltip (its desktop entry's Comment)
;   TUNES_ICON    dccd-tunes.ico
;   SIZE_KB       the installed size
;   OUTFILE       the installer to write
; It installs for the user who runs it, without administrator rights.
;
; An installation is whole or not done: before anything is changed, no program of the installed
; folder may run (the user closes it, or a silent run ends with EXIT_RUNNING). The installed
; folder is then moved aside (a rename within its parent, refused by Windows while a file in it
; is in use) and the new files written into an empty one; if any of them fails, the new folder
; goes and the old one is renamed back (EXIT_PUT_BACK). Only once every file is in place are the
; Start-menu entries, the installed apps' entry and PATH written, and the old folder emptied.

Unicode true
; The 64-bit stubs: a 64-bit Windows runs them natively, and they read the 64-bit registry.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include WinCore.nsh
!include FileFunc.nsh

!define APP_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\dccd-tuner"
!define SHORTCUT "$SMPROGRAMS\${DISPLAY_NAME}.lnk"
!define TUNES_SHORTCUT "$SMPROGRAMS\${TUNES_NAME}.lnk"
; The longest string NSIS holds here (NSIS_MAX_STRLEN less one): a value read this long may have
; been cut, so a PATH read or written is always shorter, and a longer one is left as it is.
!define PATH_LIMIT 1023
!define /math PATH_WRITTEN ${PATH_LIMIT} - 1
; The exit codes of a silent run that changed nothing (README.txt and docs/windows.md name them).
!define EXIT_RUNNING 3
!define EXIT_PUT_BACK 4
; What the installation did, for a silent run as much as for the finish page: beside the programs.
!define LOG "install-log.txt"

Var EarlierFolder    ; the installed version's folder, or ""
Var EarlierPathEntry ; the PATH entry the installed version added, or ""
Var EarlierPathMade  ; 1 when the installed version made the PATH value itself
Var Aside            ; where the installed folder waits while the new files are written, or ""
Var Writing          ; 1 while the installation folder holds new files not yet complete
Var PathNote         ; what became of PATH, in words for the finish page and the log
Var PathHint         ; for the log: where PATH is edited by hand, when that is needed

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
!define MUI_PAGE_HEADER_SUBTEXT \
    "The terms under which ${DISPLAY_NAME}, Qt and the TeX Gyre Chorus typeface are given to you."
!define MUI_LICENSEPAGE_TEXT_TOP \
    "Licences of dccd-tuner, Qt and TeX Gyre Chorus (GUST Font License)."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "These licences give you rights; nothing in them needs accepting to use the programs."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${LICENCES}"
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE CheckPrograms
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; Room for what became of PATH, with the entry to add by hand.
!define MUI_FINISHPAGE_TEXT_LARGE
!define MUI_FINISHPAGE_TEXT "${DISPLAY_NAME} ${VERSION} is installed.$\r$\n$\r$\n$PathNote"
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
    StrCpy $PathNote "PATH was not changed."
    Call CheckPrograms
FunctionEnd

Function un.onInit
    SetShellVarContext current
    StrCpy $R0 $INSTDIR
    Call un.WaitForClosedPrograms
FunctionEnd

; ---- programs that run from the installed folder

; $R1: the first program in the folder $R0 that runs (Windows then refuses to open its file for
; writing), or "".
!macro IfRunning exe
    ${If} $R1 == ""
    ${AndIf} ${FileExists} "$R0\${exe}"
        ClearErrors
        FileOpen $R2 "$R0\${exe}" a
        ${If} ${Errors}
            StrCpy $R1 "${exe}"
        ${Else}
            FileClose $R2
        ${EndIf}
    ${EndIf}
!macroend
!macro RunningProgram un
Function ${un}RunningProgram
    StrCpy $R1 ""
    ${IfThen} $R0 == "" ${|} Return ${|}
    !insertmacro IfRunning dccd-tuner.exe
    !insertmacro IfRunning dccd-tunes.exe
    !insertmacro IfRunning dccd-ctl.exe
FunctionEnd
!macroend
!insertmacro RunningProgram ""
!insertmacro RunningProgram "un."

; Returns once no program of the folder $R0 runs: the user closes it and retries. Cancelled (a
; silent run cancels at once), the run ends with EXIT_RUNNING, nothing changed.
!macro WaitForClosedPrograms un
Function ${un}WaitForClosedPrograms
    ${Do}
        Call ${un}RunningProgram
        ${IfThen} $R1 == "" ${|} Return ${|}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$R1 in $R0 is running.$\r$\n$\r$\nClose it (and every window of ${DISPLAY_NAME} and ${TUNES_NAME}, and dccd-ctl), then choose Retry. Cancel changes nothing." \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel ${EXIT_RUNNING}
        Quit
      retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro WaitForClosedPrograms ""
!insertmacro WaitForClosedPrograms "un."

; The installed version's folder and the one chosen: no program of either may run.
Function CheckPrograms
    ReadRegStr $R0 HKCU "${APP_KEY}" "InstallLocation"
    Call WaitForClosedPrograms
    StrCpy $R0 $INSTDIR
    Call WaitForClosedPrograms
FunctionEnd

; The same, just before changing anything: one started since the question ends the installation.
Function RefuseRunningPrograms
    StrCpy $R0 $EarlierFolder
    Call RunningProgram
    ${If} $R1 == ""
        StrCpy $R0 $INSTDIR
        Call RunningProgram
    ${EndIf}
    ${If} $R1 != ""
        DetailPrint "$R1 in $R0 is running: nothing was changed. Close it and install again."
        SetErrorLevel ${EXIT_RUNNING}
        Abort
    ${EndIf}
FunctionEnd

; ---- the installed version, set aside while the new one is written

Function ReadEarlierInstallation
    ReadRegStr $EarlierFolder HKCU "${APP_KEY}" "InstallLocation"
    ClearErrors
    ReadRegStr $EarlierPathEntry HKCU "${APP_KEY}" "PathEntry"
    ${If} ${Errors}
        ; Versions that did not record it added the folder to PATH whenever it was missing.
        StrCpy $EarlierPathEntry $EarlierFolder
    ${EndIf}
    ReadRegDWORD $EarlierPathMade HKCU "${APP_KEY}" "PathCreated"
    ; One in another folder takes its own entry away when it is uninstalled.
    ${If} $EarlierFolder != $INSTDIR
        StrCpy $EarlierPathEntry ""
        StrCpy $EarlierPathMade ""
    ${EndIf}
FunctionEnd

; The installation folder renamed to $Aside, so that the new files go into an empty one.
Function MoveInstalledAside
    StrCpy $Aside ""
    ${If} ${FileExists} "$INSTDIR\*.*"
        ${If} ${FileExists} "$INSTDIR.replaced"
            DetailPrint "$INSTDIR.replaced is left from an installation that did not end: move it away and install again. Nothing was changed."
            SetErrorLevel ${EXIT_PUT_BACK}
            Abort
        ${EndIf}
        ClearErrors
        Rename "$INSTDIR" "$INSTDIR.replaced"
        ${If} ${Errors}
            DetailPrint "$INSTDIR is in use (a file in it is open, or a window is in it): nothing was changed. Close it and install again."
            SetErrorLevel ${EXIT_PUT_BACK}
            Abort
        ${EndIf}
        StrCpy $Aside "$INSTDIR.replaced"
    ${EndIf}
    StrCpy $Writing 1
FunctionEnd

; An installation that failed half-way: its new files go and the installed folder comes back.
; A file the user gave up on (Abort) ends the installation at once: then when the installer ends.
Function .onInstFailed
    Call PutInstalledBack
FunctionEnd

Function PutInstalledBack
    ${IfThen} $Writing != 1 ${|} Return ${|}
    SetOutPath "$TEMP" ; Windows does not remove a process's current folder
    RMDir /r "$INSTDIR"
    ${If} $Aside != ""
        ClearErrors
        Rename "$Aside" "$INSTDIR"
        ${IfThen} ${Errors} ${|} DetailPrint "The installed version is in $Aside: rename it $INSTDIR." ${|}
    ${EndIf}
    StrCpy $Writing 0
FunctionEnd

; Every new file in place: the installed version's own uninstaller, which knows its files, takes
; them from $Aside (told /FILESONLY, a version that knows the option leaves PATH, the Start-menu
; entries and the installed apps' entry alone; those of one that does not are written again after
; it). What is left there is the user's own, and moves into the installation folder.
Function EmptyAside
    StrCpy $Writing 0
    ${IfThen} $Aside == "" ${|} Return ${|}
    ${If} ${FileExists} "$Aside\uninstall.exe"
        ExecWait '"$Aside\uninstall.exe" /S /FILESONLY _?=$Aside'
        Delete "$Aside\uninstall.exe"
        RMDir "$Aside"
    ${EndIf}
    ${IfThen} ${FileExists} "$Aside\*.*" ${|} Call EmptyAsideOfThisVersionsFiles ${|}
    ${IfThen} ${FileExists} "$Aside\*.*" ${|} Call KeepUsersFiles ${|}
FunctionEnd

Function EmptyAsideOfThisVersionsFiles
    Push $INSTDIR
    StrCpy $INSTDIR $Aside
    !include "${UNFILES}"
    Delete "$INSTDIR\dccd-tuner.ico"
    Delete "$INSTDIR\dccd-tunes.ico"
    Delete "$INSTDIR\${LOG}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Pop $INSTDIR
FunctionEnd

; What is left in $Aside (the user's own files) goes into the same place in the installation
; folder: each file or folder that is not there yet, and into each folder that is.
Function KeepUsersFiles
    StrCpy $R0 ""
    Call MoveLeftovers
    ${IfThen} ${FileExists} "$Aside\*.*" ${|} DetailPrint "Kept in $Aside: files of yours" ${|}
FunctionEnd

; $R0: the folder within $Aside ("" or "\Qt" and so on).
Function MoveLeftovers
    Push $R3 ; the caller's search
    Push $R4
    FindFirst $R3 $R4 "$Aside$R0\*.*"
    ${DoWhile} $R4 != ""
        ${If} $R4 == "."
        ${OrIf} $R4 == ".."
            ; not entries
        ${ElseIfNot} ${FileExists} "$INSTDIR$R0\$R4"
            Rename "$Aside$R0\$R4" "$INSTDIR$R0\$R4"
        ${ElseIf} ${FileExists} "$Aside$R0\$R4\*.*"
            Push $R0
            StrCpy $R0 "$R0\$R4"
            Call MoveLeftovers
            Pop $R0
        ${EndIf}
        FindNext $R3 $R4
    ${Loop}
    FindClose $R3
    RMDir "$Aside$R0"
    Pop $R4
    Pop $R3
FunctionEnd

; An installed version in another folder is taken away by its own uninstaller; it runs in place
; (_?=), so that this waits for it.
Function RemoveEarlierElsewhere
    ${If} $EarlierFolder != ""
    ${AndIf} $EarlierFolder != $INSTDIR
    ${AndIf} ${FileExists} "$EarlierFolder\uninstall.exe"
        DetailPrint "Removing the installed version in $EarlierFolder"
        ExecWait '"$EarlierFolder\uninstall.exe" /S _?=$EarlierFolder'
        Delete "$EarlierFolder\uninstall.exe"
        RMDir "$EarlierFolder"
    ${EndIf}
FunctionEnd

Section "!${DISPLAY_NAME}" SecProgram
    SectionIn RO
    Call ReadEarlierInstallation
    Call RefuseRunningPrograms
    Call MoveInstalledAside
    ClearErrors
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    File "/oname=dccd-tuner.ico" "${ICON}"
    File "/oname=dccd-tunes.ico" "${TUNES_ICON}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ${If} ${Errors}
        DetailPrint "A file could not be written: the installed version is put back as it was."
        Call PutInstalledBack
        SetErrorLevel ${EXIT_PUT_BACK}
        Abort
    ${EndIf}
    Call EmptyAside
    Call RemoveEarlierElsewhere
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
    ; What the installed version did to PATH stays its record, until "Add to PATH" decides anew.
    WriteRegStr HKCU "${APP_KEY}" "PathEntry" $EarlierPathEntry
    ${IfThen} $EarlierPathMade == 1 ${|} WriteRegDWORD HKCU "${APP_KEY}" "PathCreated" 1 ${|}
SectionEnd

Section "Add to PATH" SecPath
    Call AddToPath
SectionEnd

Section "-Log"
    FileOpen $R3 "$INSTDIR\${LOG}" w
    FileWrite $R3 "${DISPLAY_NAME} ${VERSION} was installed in $INSTDIR.$\r$\n$\r$\n$PathNote$\r$\n$PathHint"
    FileClose $R3
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} \
        "The tuning window, ${TUNES_NAME} and dccd-ctl, a Start-menu entry for each window and an uninstaller."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecPath} \
        "Adds the installation folder to your PATH, so that dccd-ctl runs in any new Command Prompt or PowerShell. The uninstaller takes it out again."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
    ; /FILESONLY: the installer replacing this version writes the rest anew.
    ${GetParameters} $R9
    ClearErrors
    ${GetOptions} $R9 "/FILESONLY" $R8
    ${If} ${Errors}
        Call un.RemoveFromPath
        Delete "${SHORTCUT}"
        Delete "${TUNES_SHORTCUT}"
        DeleteRegKey HKCU "${APP_KEY}"
    ${EndIf}
    ; Only what the installer wrote: the restore points and anything else of the user's stay.
    !include "${UNFILES}"
    Delete "$INSTDIR\dccd-tuner.ico"
    Delete "$INSTDIR\dccd-tunes.ico"
    Delete "$INSTDIR\${LOG}"
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
Function WithoutInstallFolder
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

; PATH left as it was, the reason in $R8: said on the finish page and in the log, with the entry
; to add by hand.
Function PathLeftAsItWas
    StrCpy $PathNote "PATH was left as it was: $R8. Add this entry to it by hand for dccd-ctl to run by name:$\r$\n$INSTDIR"
    StrCpy $PathHint "$\r$\nPATH is edited in Settings, $\"Edit environment variables for your account$\".$\r$\n"
    DetailPrint "PATH was left as it was: $R8."
FunctionEnd

; The folder at the end of PATH, when the whole value can be read and the new one written: the
; lengths are added up, since a string longer than NSIS holds would already have been cut. The
; uninstall key records the entry added (PathEntry), for the uninstaller to take out that one.
Function AddToPath
    Call ReadUserPath
    StrLen $2 $0
    ${If} $1 == "unreadable"
    ${OrIf} $2 >= ${PATH_LIMIT}
        StrCpy $R8 "it is too long to read whole (${PATH_LIMIT} characters or more)"
        Goto left
    ${EndIf}
    StrCpy $9 $0
    Call WithoutInstallFolder
    ${If} $0 != $9
        ${If} $EarlierPathEntry == $INSTDIR
            WriteRegStr HKCU "${APP_KEY}" "PathEntry" $INSTDIR
            StrCpy $PathNote "PATH holds the folder, as the earlier installation added it: dccd-ctl runs by name in a new Command Prompt."
        ${Else}
            WriteRegStr HKCU "${APP_KEY}" "PathEntry" ""
            StrCpy $PathNote "PATH already held the folder (your entry, which uninstalling leaves there): dccd-ctl runs by name in a new Command Prompt."
        ${EndIf}
        Return
    ${EndIf}
    StrLen $3 $INSTDIR
    IntOp $3 $3 + $2
    ${IfThen} $2 > 0 ${|} IntOp $3 $3 + 1 ${|}
    ${If} $3 >= ${PATH_LIMIT}
        StrCpy $R8 "the folder would make it $3 characters long, and at most ${PATH_WRITTEN} are written"
        Goto left
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
    ClearErrors
    WriteRegExpandStr HKCU "Environment" "Path" $0
    ${If} ${Errors}
        StrCpy $R8 "it could not be written"
        Goto left
    ${EndIf}
    WriteRegStr HKCU "${APP_KEY}" "PathEntry" $INSTDIR
    ${If} $1 == "none"
        WriteRegDWORD HKCU "${APP_KEY}" "PathCreated" 1
    ${Else}
        DeleteRegValue HKCU "${APP_KEY}" "PathCreated"
    ${EndIf}
    !insertmacro EnvironmentChanged
    StrCpy $PathNote "The folder was added at the end of your PATH: dccd-ctl runs by name in a new Command Prompt."
    Return
  left:
    Call PathLeftAsItWas
FunctionEnd

; $0 without its last entry that is $R5 (compared without regard to case, as Windows does), every
; other entry and separator kept as it was; $R6 is that entry's number, -1 when there is none.
Function un.WithoutLastEntry
    StrCpy $R6 -1
    StrCpy $R7 -1 ; the entry to leave out: none while counting
    ${Do}
        StrCpy $4 ""   ; the result
        StrCpy $5 ""   ; the entry being read
        StrCpy $6 0    ; the position in $0
        StrCpy $7 0    ; the entry's number
        StrCpy $3 0    ; entries kept so far
        ${Do}
            StrCpy $8 $0 1 $6
            ${If} $8 == ";"
            ${OrIf} $8 == ""
                ${IfThen} $5 == $R5 ${|} StrCpy $R6 $7 ${|}
                ${If} $7 != $R7
                    ${IfThen} $3 > 0 ${|} StrCpy $4 "$4;" ${|}
                    StrCpy $4 "$4$5"
                    IntOp $3 $3 + 1
                ${EndIf}
                StrCpy $5 ""
                IntOp $7 $7 + 1
                ${IfThen} $8 == "" ${|} ${Break} ${|}
            ${Else}
                StrCpy $5 "$5$8"
            ${EndIf}
            IntOp $6 $6 + 1
        ${Loop}
        ${IfThen} $R6 < 0 ${|} Return ${|}
        ${IfThen} $R7 >= 0 ${|} ${Break} ${|}
        StrCpy $R7 $R6
    ${Loop}
    StrCpy $0 $4
FunctionEnd

; Only the entry the installer added (PathEntry), and only from a PATH read whole.
Function un.RemoveFromPath
    ClearErrors
    ReadRegStr $R5 HKCU "${APP_KEY}" "PathEntry"
    ${IfThen} $R5 == "" ${|} Return ${|}
    Call un.ReadUserPath
    ${IfThen} $1 != "ok" ${|} Return ${|}
    StrLen $2 $0
    ${If} $2 >= ${PATH_LIMIT}
        DetailPrint "PATH is too long to read whole: left as it is. Take $R5 out of it by hand."
        Return
    ${EndIf}
    Call un.WithoutLastEntry
    ${IfThen} $R6 < 0 ${|} Return ${|}
    ReadRegDWORD $2 HKCU "${APP_KEY}" "PathCreated"
    ${If} $0 == ""
    ${AndIf} $2 == 1
        DeleteRegValue HKCU "Environment" "Path"
    ${Else}
        WriteRegExpandStr HKCU "Environment" "Path" $0
    ${EndIf}
    !insertmacro EnvironmentChanged
FunctionEnd
