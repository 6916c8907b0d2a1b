; The Windows installer of Tarabo, built by makensis from the Windows build (make windows-package).
; Defines: EXE (the program), TOOL (tarabo-scales.exe), OUTFILE, VERSION, SCALE_DLL (Tarabo's own scale control; its
; component is offered only when the file exists), TARGET (makensis target, x86-unicode unless set).
Unicode true
!ifdef TARGET
  Target ${TARGET}
!endif

Name "Tarabo"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Tarabo"
RequestExecutionLevel admin
ShowInstDetails show
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "Tarabo Application"
VIAddVersionKey "FileDescription" "Tarabo Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 Tarabo"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarabo"

ComponentText "Tarabo needs a scale control: the scale's own OPOS control and service object, installed by their vendor, with the logical name $\"K350$\" set up; or Tarabo's own, below."
Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Tarabo (required)" SecProgram
  SectionIn RO
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "/oname=Tarabo.exe" "${EXE}"
  File "/oname=tarabo-scales.exe" "${TOOL}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Tarabo"
  CreateShortcut "$SMPROGRAMS\Tarabo\Tarabo.lnk" "$INSTDIR\Tarabo.exe"
  CreateShortcut "$SMPROGRAMS\Tarabo\Uninstall Tarabo.lnk" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Tarabo"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tarabo.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

!if /FileExists "${SCALE_DLL}"
; Off unless chosen: registering it replaces whatever scale control is registered under its class id.
Section /o "Tarabo scale control: drives the scales set up in scales.conf, a simulated K350 otherwise (replaces a registered scale control)" SecScale
  SetOutPath "$INSTDIR"
  ; The simulated scale control of earlier versions, which this one replaces.
  IfFileExists "$INSTDIR\TaraboSimScale.dll" 0 +3
    UnRegDLL "$INSTDIR\TaraboSimScale.dll"
    Delete "$INSTDIR\TaraboSimScale.dll"
  File "/oname=TaraboScale.dll" "${SCALE_DLL}"
  RegDLL "$INSTDIR\TaraboScale.dll"
SectionEnd
!endif

Section "Uninstall"
  SetShellVarContext all
  IfFileExists "$INSTDIR\TaraboScale.dll" 0 +3
    UnRegDLL "$INSTDIR\TaraboScale.dll"
    Delete "$INSTDIR\TaraboScale.dll"
  ; and an earlier version's simulated scale control
  IfFileExists "$INSTDIR\TaraboSimScale.dll" 0 +3
    UnRegDLL "$INSTDIR\TaraboSimScale.dll"
    Delete "$INSTDIR\TaraboSimScale.dll"
  Delete "$INSTDIR\Tarabo.exe"
  Delete "$INSTDIR\tarabo-scales.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Tarabo\Tarabo.lnk"
  Delete "$SMPROGRAMS\Tarabo\Uninstall Tarabo.lnk"
  RMDir "$SMPROGRAMS\Tarabo"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
