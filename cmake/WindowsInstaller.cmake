# The setup program of the cross build: target `windows_installer` packs nulldrift.exe and the
# resources into Nulldrift-<version>-setup.exe in the build folder with NSIS (makensis). It is
# not part of the default build; `make windows-installer` asks for it. The target is defined
# once the whole folder is read, so that it finds the program's target wherever that is made.
find_program(ND_MAKENSIS makensis)

# "3.00": the minor number in two digits, as the program writes its version.
if(PROJECT_VERSION_MINOR LESS 10)
  set(ND_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
  set(ND_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(ND_SETUP_FILE ${CMAKE_BINARY_DIR}/Nulldrift-${ND_VERSION_TEXT}-setup.exe)

function(nd_add_windows_installer)
  if(NOT TARGET nulldrift OR NOT ND_MAKENSIS)
    if(NOT TARGET nulldrift)
      set(missing "no nulldrift.exe in this build")
    else()
      set(missing "makensis is missing (Debian package nsis)")
    endif()
    # The target still exists, so that `make windows-installer` says why there is no setup.
    add_custom_target(windows_installer COMMAND ${CMAKE_COMMAND} -E echo "No setup program: ${missing}")
    return()
  endif()
  set(script ${CMAKE_SOURCE_DIR}/packaging/windows/setup.nsi)
  file(GLOB_RECURSE resource_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*)
  add_custom_command(
    OUTPUT ${ND_SETUP_FILE}
    COMMAND ${ND_MAKENSIS} -V2 -DVERSION=${ND_VERSION_TEXT} -DMAJOR=${PROJECT_VERSION_MAJOR}
            -DFILE_VERSION=${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.0
            -DPROGRAM=$<TARGET_FILE:nulldrift> -DRESOURCES=${CMAKE_SOURCE_DIR}/resources
            -DOUTFILE=${ND_SETUP_FILE} ${script}
    DEPENDS nulldrift ${script} ${resource_files}
    COMMENT "Packing the setup program ${ND_SETUP_FILE}"
    VERBATIM)
  add_custom_target(windows_installer DEPENDS ${ND_SETUP_FILE})
endfunction()
cmake_language(DEFER CALL nd_add_windows_installer)
