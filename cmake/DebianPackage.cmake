# `make deb`: the Debian package nulldrift_<version>-1_<arch>.deb, made by CPack from the
# install component "deb". The program folder is /usr/lib/nulldrift, with Languages/, the
# pictures and the sound beside the executables, as the program expects; /usr/bin links to
# them. Nothing here is part of a plain `cmake --install` (`make install`), which keeps its own
# layout.

# The version as the program writes it: major, a dot and a two-digit minor (3.00).
string(LENGTH "${PROJECT_VERSION_MINOR}" minor_digits)
if(minor_digits LESS 2)
  set(ND_DEB_VERSION "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
  set(ND_DEB_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
set(ND_PACKAGE_MAINTAINER "Nulldrift developers <support@nulldrift.net>"
    CACHE STRING "Maintainer field of the Debian package")
set(ND_PROGRAM_DIR lib/nulldrift)
set(ND_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
set(ND_PACKAGE_STAGE ${CMAKE_BINARY_DIR}/package-files)

# Compressed manual pages and changelog (without time stamps: the same input gives the same
# package), and the links in /usr/bin.
file(MAKE_DIRECTORY ${ND_PACKAGE_STAGE})
set(ND_GZIPPED)
foreach(source IN ITEMS man/nulldrift.1 man/nulldrift-clean.1 changelog)
  get_filename_component(name ${source} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  add_custom_command(OUTPUT ${ND_PACKAGE_STAGE}/${name}.gz
                     COMMAND gzip -9nc ${ND_PACKAGING}/${source} > ${ND_PACKAGE_STAGE}/${name}.gz
                     DEPENDS ${ND_PACKAGING}/${source}
                     VERBATIM)
  list(APPEND ND_GZIPPED ${ND_PACKAGE_STAGE}/${name}.gz)
endforeach()
add_custom_target(nulldrift_package_files ALL DEPENDS ${ND_GZIPPED})
foreach(program IN ITEMS nulldrift nulldrift-clean)
  file(CREATE_LINK ../${ND_PROGRAM_DIR}/${program} ${ND_PACKAGE_STAGE}/${program} SYMBOLIC)
endforeach()

install(TARGETS nulldrift nulldrift-clean RUNTIME DESTINATION ${ND_PROGRAM_DIR}
        COMPONENT deb EXCLUDE_FROM_ALL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/ DESTINATION ${ND_PROGRAM_DIR}
        COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${ND_PACKAGE_STAGE}/nulldrift ${ND_PACKAGE_STAGE}/nulldrift-clean
        DESTINATION bin COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${ND_PACKAGING}/net.nulldrift.nulldrift.desktop
        DESTINATION share/applications COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${ND_PACKAGING}/net.nulldrift.nulldrift.metainfo.xml
        DESTINATION share/metainfo COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${ND_PACKAGING}/icons/nulldrift.svg
        DESTINATION share/icons/hicolor/scalable/apps COMPONENT deb EXCLUDE_FROM_ALL)
foreach(size IN ITEMS 48 128 256)
  install(FILES ${ND_PACKAGING}/icons/nulldrift-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME nulldrift.png
          COMPONENT deb EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${ND_PACKAGE_STAGE}/nulldrift.1.gz ${ND_PACKAGE_STAGE}/nulldrift-clean.1.gz
        DESTINATION share/man/man1 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${ND_PACKAGING}/bash-completion/nulldrift-clean
        DESTINATION share/bash-completion/completions COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${ND_PACKAGING}/copyright ${ND_PACKAGE_STAGE}/changelog.Debian.gz
        DESTINATION share/doc/nulldrift COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nulldrift)
set(CPACK_PACKAGE_VERSION ${ND_DEB_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};deb;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make files that were already deleted unrecoverable")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ND_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.nulldrift.net/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The summary above is the synopsis line; this is the extended description below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Nulldrift overwrites what deleted files left behind on a disk. On each
volume chosen it writes thousands of small files with long names, so that
the file-table records and folder entries of deleted files are reused; the
thorough mode then fills every free byte with filler files. At the end it
deletes everything it wrote, and it never touches a file it did not write.
.
The package holds the wizard (nulldrift) and nulldrift-clean, which runs the
same job from scripts and reports in JSON.")
include(CPack)
