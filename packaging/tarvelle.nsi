; Installer of the Windows package. The build passes VERSION, STAGE (the
; folder holding the files of the zip) and OUTFILE.
;
; The program writes the chosen country into TOLVEX.INI beside itself, so it
; is installed for the current user under %LOCALAPPDATA%\Programs, where it
; may write without administrator rights.

; The program is x86_64 only, so the installer is too.
Target amd64-unicode
SetCompressor /SOLID lzma

!define APP "Tarvelle"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel user

LicenseData "${STAGE}\LICENSE.txt"
Page license
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext current
    SetOutPath "$INSTDIR"
    File "${STAGE}\tarvelle.exe"
    File "${STAGE}\tarvelle-cli.exe"
    File "${STAGE}\TOLVEX.DLL"
    ; The profile holds the user's last choice and the codes the program has
    ; learnt, so a reinstall or upgrade keeps an existing one.
    SetOverwrite off
    File "${STAGE}\TOLVEX.INI"
    SetOverwrite on
    File "${STAGE}\LICENSE.txt"
    File "${STAGE}\LICENSE-flag-icons.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\tarvelle.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tarvelle developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarvelle.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "$SMPROGRAMS\${APP}.lnk"
    Delete "$INSTDIR\tarvelle.exe"
    Delete "$INSTDIR\tarvelle-cli.exe"
    Delete "$INSTDIR\TOLVEX.DLL"
    ; TOLVEX.INI stays: it is the user's profile, not just a shipped file.
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\LICENSE-flag-icons.txt"
    Delete "$INSTDIR\uninstall.exe"
    ; Only when empty: files the user put here stay.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
