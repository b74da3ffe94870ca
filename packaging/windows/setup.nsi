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

Section "${PRODUCT}"
  SetOutPath "$INSTDIR"
  File "/oname=nulldrift.exe" "${PROGRAM}"
  File /r "${RESOURCES}/*"
  ; The program's own install mode reports nothing and carries on past every failing step.
  DetailPrint "Registering ${PRODUCT} ${VERSION}..."
  ExecWait '"$INSTDIR\nulldrift.exe" install'
SectionEnd
