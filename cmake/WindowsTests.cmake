# The cross build's tests: GoogleTest built with the cross compiler from Debian's sources (no
# copy of our own), and the unit tests together with the Windows platform tests as one
# executable that runs under Wine in one process: one Wine start instead of one per test.
if(NOT ND_BUILD_TESTS)
  return()
endif()
enable_testing()

set(ND_GTEST_SOURCES /usr/src/googletest CACHE PATH "GoogleTest sources (Debian's googletest)")
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(${ND_GTEST_SOURCES} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(gtest_target IN ITEMS gtest gtest_main)
  if(NOT TARGET GTest::${gtest_target})
    add_library(GTest::${gtest_target} ALIAS ${gtest_target})
  endif()
endforeach()

include(${CMAKE_SOURCE_DIR}/cmake/TestSupport.cmake)

# What only a POSIX system has: its signals, sockets of the session bus, modes and owners of
# files, and the kernel's mount table. The Windows side of the same is in tests/windows.
set(ND_POSIX_ONLY_TESTS interrupts_test standby_test trash_test uninstaller_test volumes_parse_test
                        work_files_test)
foreach(test IN LISTS ND_POSIX_ONLY_TESTS)
  list(REMOVE_ITEM unit_sources ${CMAKE_SOURCE_DIR}/tests/unit/${test}.cpp)
endforeach()
file(GLOB windows_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/windows/*.cpp)

add_executable(unit_tests ${unit_sources} ${windows_sources})
target_link_libraries(unit_tests PRIVATE nulldrift_test_support GTest::gtest
                                         GTest::gtest_main nlohmann_json::nlohmann_json)
target_compile_options(unit_tests PRIVATE ${ND_WARNINGS})
# Under Wine the host's "/" is no drive: the runner maps the build folder, which holds a copy
# of the resources, as drive R:.
target_compile_definitions(unit_tests PRIVATE ND_SOURCE_RESOURCES="R:" ND_BUILD_DIR="R:")
add_dependencies(unit_tests nulldrift_resources)

add_test(NAME windows.unit
         COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/run-platform-tests $<TARGET_FILE:unit_tests>
                 ${CMAKE_BINARY_DIR})
set_tests_properties(windows.unit PROPERTIES LABELS "unit;windows" TIMEOUT 600)

# nulldrift-clean.exe on loop-mounted ext4 and NTFS volumes mapped as a Wine drive (as root;
# skipped otherwise).
add_test(NAME windows.clean
         COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/run-clean-test ${CMAKE_BINARY_DIR})
set_tests_properties(windows.clean PROPERTIES LABELS "integration;windows" SKIP_RETURN_CODE 77
                                              RUN_SERIAL TRUE TIMEOUT 900)

# The setup program under Wine: a silent install, then the uninstaller answered on a virtual
# display, in a scratch prefix of its own (skipped without the setup program or the display
# tools; `make test` builds the setup first).
add_test(NAME windows.installer
         COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/run-installer-test ${CMAKE_BINARY_DIR})
set_tests_properties(windows.installer PROPERTIES LABELS "windows" SKIP_RETURN_CODE 77
                                                  TIMEOUT 300)

# The windows of nulldrift.exe under Wine on a virtual display, driven with real mouse input by
# a probe that runs inside Wine (as root for the loop volume and the drive letters; skipped
# otherwise). The newsletter's stand-in for the vendor's server is the Linux build's, run on
# this machine beside Wine.
add_executable(window_probe ${CMAKE_SOURCE_DIR}/tests/windows/gui/window_probe.cpp)
target_compile_options(window_probe PRIVATE ${ND_WARNINGS})
target_link_options(window_probe PRIVATE -municode)
set(ND_HOST_BUILD ${CMAKE_SOURCE_DIR}/build CACHE PATH
    "The Linux build, whose answer_server the window tests run")
foreach(gui_test IN ITEMS wizard modes)
  add_test(NAME windows.gui.${gui_test}
           COMMAND ${CMAKE_SOURCE_DIR}/tests/windows/gui/${gui_test}_test.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_BINARY_DIR}/screenshots ${ND_HOST_BUILD})
  set_tests_properties(windows.gui.${gui_test} PROPERTIES LABELS "gui;windows"
                       SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 300)
endforeach()
