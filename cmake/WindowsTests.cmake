# The cross build's tests: GoogleTest built with the cross compiler from Debian's sources, and
# the unit tests as one executable that runs under Wine in one process.
if(NOT ND_BUILD_TESTS)
  return()
endif()
enable_testing()
