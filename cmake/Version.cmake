# The version of the programs: `git describe --tags --always --dirty`. The
# Makefile gives it as QV_VERSION (the same string to every tree); a cmake run
# without it asks git here. It reaches the code through one small generated
# header, quorvane_version.h in QV_GENERATED_DIR, which only cli/main.cpp and
# the two resource scripts include, and which is rewritten only when the
# version changes: a new version recompiles those three files, nothing else.
#
#   QV_VERSION_TEXT     "v1.2-3-gabc1234-dirty", or "abc1234" without a tag:
#                       `quorvane-cli --version` and the version resource's
#                       FileVersion and ProductVersion
#   QV_VERSION_NUMBERS  1,2,0,3 (major, minor, patch, commits since the tag)
#                       from a tag v1.2 or v1.2.0 (the v is optional);
#                       0,0,0,0 without such a tag. Windows wants numbers in
#                       the resource's FILEVERSION and PRODUCTVERSION.
if(NOT QV_VERSION)
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} describe --tags --always --dirty
                    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE QV_VERSION OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET)
  endif()
  if(NOT QV_VERSION)
    set(QV_VERSION unknown)
  endif()
endif()

set(QV_VERSION_NUMBERS 0,0,0,0)
if(QV_VERSION MATCHES "^v?([0-9]+)\\.([0-9]+)(\\.([0-9]+))?(-([0-9]+)-g[0-9a-f]+)?(-dirty)?$")
  set(numbers "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${CMAKE_MATCH_4}" "${CMAKE_MATCH_6}")
  set(fields "")
  set(fits TRUE)
  foreach(n IN LISTS numbers)   # empty fields (no patch, on the tag itself) are 0
    if(n STREQUAL "")
      set(n 0)
    elseif(n GREATER 65535)     # each field is 16 bits
      set(fits FALSE)
    endif()
    list(APPEND fields ${n})
  endforeach()
  if(fits)
    string(REPLACE ";" "," QV_VERSION_NUMBERS "${fields}")
  endif()
endif()

set(QV_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorvane_version.h.in ${QV_GENERATED_DIR}/quorvane_version.h @ONLY)
message(STATUS "Quorvane version ${QV_VERSION} (${QV_VERSION_NUMBERS})")
