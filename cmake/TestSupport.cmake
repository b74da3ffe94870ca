# The test-only target: the fakes, the scratch folders and environment overrides, and the local
# HTTP server that the tests share, the same on every platform. Nothing of the program links
# it. Sets `unit_sources` to the unit tests' own sources.
set(ND_TEST_SUPPORT_SOURCES ${CMAKE_SOURCE_DIR}/tests/unit/local_http_server.cpp
                            ${CMAKE_SOURCE_DIR}/tests/unit/test_support.cpp)
add_library(nulldrift_test_support STATIC ${ND_TEST_SUPPORT_SOURCES})
target_include_directories(nulldrift_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests
                                                         ${CMAKE_SOURCE_DIR}/tests/unit)
target_compile_options(nulldrift_test_support PRIVATE ${ND_WARNINGS})
target_link_libraries(nulldrift_test_support PUBLIC nulldrift_core)
if(WIN32)
  target_link_libraries(nulldrift_test_support PUBLIC ws2_32)
endif()

file(GLOB unit_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
list(REMOVE_ITEM unit_sources ${ND_TEST_SUPPORT_SOURCES})
