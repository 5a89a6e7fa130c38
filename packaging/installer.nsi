; The Windows installer of VelmarDBRepair, made by makensis (packaging/CMakeLists.txt passes
; VERSION, EXE, OUTFILE, ICON and TARGET: x86-unicode for the 32-bit program, whose
; installer must run on 32-bit Windows too, amd64-unicode for the 64-bit one). It puts the program beside the suite, in C:\KORA\Tools
; unless another folder is chosen (/D=... when silent), with a Start-menu entry and an
; uninstaller. Without the suite's C:\KORA the program cannot work, so the installer stops
; there unless started with /NOKORA.
Target ${TARGET}
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define NAME "VelmarDBRepair"
!define TITLE "Ремонт базы данных Velmar"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "${TITLE}"
OutFile "${OUTFILE}"
InstallDir "C:\KORA\Tools"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${TITLE}"
VIAddVersionKey /LANG=1049 "CompanyName" "Norwin"
VIAddVersionKey /LANG=1049 "LegalCopyright" "Norwin"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка: ${TITLE}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
  SetShellVarContext all
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOKORA" $1
  ${If} ${Errors}
  ${AndIfNot} ${FileExists} "C:\KORA\*.*"
    MessageBox MB_OK|MB_ICONSTOP "Не найдена папка C:\KORA программы Velmar. Программа ремонта базы данных работает только рядом с ней. Установка прервана." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section
  SetOutPath "$INSTDIR"
  File "/oname=VelmarDBRepair.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall-VelmarDBRepair.exe"
  CreateShortcut "$SMPROGRAMS\${TITLE}.lnk" "$INSTDIR\VelmarDBRepair.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${TITLE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Norwin"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\VelmarDBRepair.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall-VelmarDBRepair.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall-VelmarDBRepair.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\VelmarDBRepair.exe"
  Delete "$INSTDIR\Uninstall-VelmarDBRepair.exe"
  Delete "$SMPROGRAMS\${TITLE}.lnk"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; Only when empty: the suite keeps other tools in the same folder.
  RMDir "$INSTDIR"
SectionEnd
