; The Windows setup program. It copies the program and the files it reads beside itself into
; "Nulldrift <major>" below the 64-bit Program Files folder, then runs "nulldrift.exe install",
; which lays out the shortcuts, stamps the installation and registers the program's own
; uninstaller ("nulldrift.exe uninstall"); the setup writes no uninstaller of its own.
; /S installs silently.
;
;   makensis -DVERSION=3.00 -DMAJOR=3 -DFILE_VERSION=3.0.0.0 -DPROGRAM=.../nulldrift.exe
;            -DRESOURCES=.../resources -DOUTFILE=.../Nulldrift-3.00-setup.exe setup.nsi

!macro Required NAME
  !ifndef ${NAME}
    !error "${NAME} must be defined: makensis -D${NAME}=..."
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required MAJOR
!insertmacro Required FILE_VERSION
!insertmacro Required PROGRAM
!insertmacro Required RESOURCES
!insertmacro Required OUTFILE

!define PRODUCT "Nulldrift"

!include "LogicLib.nsh"

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; Fixed: the program finds its installation there when it registers and when it removes
; itself, so the folder is not offered for a choice.
InstallDir "$PROGRAMFILES64\${PRODUCT} ${MAJOR}"
ShowInstDetails show
; A file that cannot be written (the program still running) ends the setup instead of being
; skipped, which a silent install would otherwise do without a word and report success.
AllowSkipFiles off

VIProductVersion "${FILE_VERSION}"
VIFileVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PRODUCT} developers"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright 2026 ${PRODUCT} developers"
VIAddVersionKey /LANG=0 "OriginalFilename" "${PRODUCT}-${VERSION}-setup.exe"

Page instfiles

Function .onInit
  ; Without the rights nothing could go below Program Files nor into the machine-wide places.
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP|MB_OK "${PRODUCT} ${VERSION} needs administrator rights to install." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
FunctionEnd

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "/oname=nulldrift.exe" "${PROGRAM}"
  File /r "${RESOURCES}/*"
  ; The program's install mode reports nothing and carries on past every failing step; only a
  ; program that does not start at all leaves the installation unregistered.
  DetailPrint "Registering ${PRODUCT} ${VERSION}..."
  ClearErrors
  ExecWait '"$INSTDIR\nulldrift.exe" install'
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "$INSTDIR\nulldrift.exe could not be started; the installation is not registered."
  ${EndIf}
SectionEnd
