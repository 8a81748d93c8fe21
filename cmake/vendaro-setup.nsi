; The Windows installer, built by scripts/windows-build.sh:
;   makensis -DVERSION=x.y.z -DCARGA=<folder with what is installed> -DSALIDA=<setup.exe>
; Installs for the current user (no administrator rights; %LOCALAPPDATA%\Programs\Vendaro) or, run by
; an administrator, for all users (Program Files). Silent with /S; /AllUsers or /CurrentUser choose.
Unicode true
; A 32-bit installer does nothing on a 64-bit-only Windows (and Wine) and still exits 0.
Target amd64-unicode
SetCompressor /SOLID lzma

!define NOMBRE "Vendaro"
!define CLAVE_DESINSTALAR "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vendaro"
!define CLAVE_RUN "Software\Microsoft\Windows\CurrentVersion\Run"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "${NOMBRE}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${CLAVE_DESINSTALAR}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${CLAVE_DESINSTALAR}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!include MultiUser.nsh
!include MUI2.nsh

Name "${NOMBRE} ${VERSION}"
OutFile "${SALIDA}"
BrandingText "${NOMBRE} ${VERSION}"
!define MUI_ICON "${CARGA}\vendaro.ico"
!define MUI_UNICON "${CARGA}\vendaro.ico"

!insertmacro MULTIUSER_PAGE_INSTALLMODE
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\vendaro.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
  !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "Vendaro"
  SetOutPath "$INSTDIR"
  File /r "${CARGA}\*.*"
  WriteUninstaller "$INSTDIR\desinstalar.exe"
  CreateShortCut "$SMPROGRAMS\${NOMBRE}.lnk" "$INSTDIR\vendaro.exe" "" "$INSTDIR\vendaro.ico"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "DisplayName" "${NOMBRE}"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "Publisher" "${NOMBRE}"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "DisplayIcon" "$INSTDIR\vendaro.ico"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "UninstallString" '"$INSTDIR\desinstalar.exe" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "QuietUninstallString" '"$INSTDIR\desinstalar.exe" /$MultiUser.InstallMode /S'
  WriteRegDWORD SHCTX "${CLAVE_DESINSTALAR}" "NoModify" 1
  WriteRegDWORD SHCTX "${CLAVE_DESINSTALAR}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; The program registers its own start at logon (the Run value named after the executable).
  DeleteRegValue HKCU "${CLAVE_RUN}" "vendaro"
  Delete "$SMPROGRAMS\${NOMBRE}.lnk"
  ; Only what the installer put there: settings, logs and the key beside the program stay.
  RMDir /r "$INSTDIR\platforms"
  RMDir /r "$INSTDIR\styles"
  RMDir /r "$INSTDIR\imageformats"
  RMDir /r "$INSTDIR\tls"
  RMDir /r "$INSTDIR\networkinformation"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\vendaro.exe"
  Delete "$INSTDIR\vendaro.txt"
  Delete "$INSTDIR\vendaro.ico"
  Delete "$INSTDIR\cacert.pem"
  Delete "$INSTDIR\desinstalar.exe"
  RMDir "$INSTDIR"
  DeleteRegKey SHCTX "${CLAVE_DESINSTALAR}"
SectionEnd
