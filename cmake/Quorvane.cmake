# Helpers shared by every module's CMakeLists.txt.
#
# Natively each library is built in three variants: NAME (plain), NAME_asan
# (AddressSanitizer + UndefinedBehaviorSanitizer) and NAME_tsan
# (ThreadSanitizer). A test names the variant it wants; linking NAME_asan pulls
# the _asan variants of the libraries it depends on. Cross-compiled for
# Windows there is only NAME.
#
# Each library names the libraries it calls (DEPS); seams between modules are
# tables of callbacks handed over at run time, never symbols bound by the
# linker, so no program depends on the order of its libraries.

set(QV_SANITIZE_asan -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
set(QV_SANITIZE_tsan -fsanitize=thread -fno-omit-frame-pointer)

# The Windows programs build the same wherever the tree lies and whenever it
# is built (make dist-check): no link time in the PE header, and no source or
# build folder in what the compiler writes (file names of macros and debug
# information become relative). Nothing here may use __DATE__ or __TIME__.
if(MINGW)
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_BINARY_DIR}/=build/>")
endif()

if(WIN32 OR QV_FUZZ_ONLY)
  set(QV_VARIANTS "")
else()
  set(QV_VARIANTS asan tsan)
endif()

# qv_library(NAME SOURCES a.cpp ... [DEPS other_lib ...])
function(qv_library name)
  cmake_parse_arguments(L "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  if(L_DEPS)
    target_link_libraries(${name} PUBLIC ${L_DEPS})
  endif()
  if(NOT WIN32)
    find_package(Threads REQUIRED)
    target_link_libraries(${name} PUBLIC Threads::Threads)
  endif()
  foreach(v ${QV_VARIANTS})
    add_library(${name}_${v} STATIC EXCLUDE_FROM_ALL ${L_SOURCES})
    target_include_directories(${name}_${v} PUBLIC ${PROJECT_SOURCE_DIR})
    target_compile_options(${name}_${v} PRIVATE ${QV_SANITIZE_${v}})
    target_link_options(${name}_${v} INTERFACE ${QV_SANITIZE_${v}})
    target_link_libraries(${name}_${v} PUBLIC Threads::Threads)
    foreach(d ${L_DEPS})
      target_link_libraries(${name}_${v} PUBLIC ${d}_${v})
    endforeach()
  endforeach()
endfunction()

# qv_native_test(NAME SOURCES ... LIBS ... [VARIANTS plain asan tsan] [LABELS ...])
# Builds one GoogleTest program per variant and registers each with CTest.
function(qv_native_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;VARIANTS;LABELS" ${ARGN})
  if(NOT T_VARIANTS)
    set(T_VARIANTS plain asan)
  endif()
  find_package(GTest REQUIRED)
  foreach(v ${T_VARIANTS})
    if(v STREQUAL "plain")
      set(exe ${name})
      set(libs ${T_LIBS})
    else()
      set(exe ${name}_${v})
      set(libs "")
      foreach(l ${T_LIBS})
        list(APPEND libs ${l}_${v})
      endforeach()
    endif()
    add_executable(${exe} ${T_SOURCES})
    target_include_directories(${exe} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${exe} PRIVATE ${libs} GTest::gtest GTest::gtest_main)
    if(NOT v STREQUAL "plain")
      target_compile_options(${exe} PRIVATE ${QV_SANITIZE_${v}})
      target_link_options(${exe} PRIVATE ${QV_SANITIZE_${v}})
    endif()
    add_test(NAME ${exe} COMMAND ${exe})
    set_tests_properties(${exe} PROPERTIES
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1"
      LABELS "native;${v};${T_LABELS}")
  endforeach()
endfunction()

# qv_use_header_libraries(TARGET): CLI11 and nlohmann/json, header-only
# (Debian: libcli11-dev, nlohmann-json3-dev). The cross build must not search
# /usr/include, where glibc's headers would shadow mingw-w64's, so there both
# are reached through links in a folder of their own.
function(qv_use_header_libraries target)
  if(CMAKE_CROSSCOMPILING)
    set(headers ${CMAKE_BINARY_DIR}/cli-headers)
    foreach(dir CLI nlohmann)
      if(NOT EXISTS /usr/include/${dir})
        message(FATAL_ERROR "/usr/include/${dir} missing: run tools/install-deps.sh")
      endif()
      if(NOT EXISTS ${headers}/${dir})
        file(MAKE_DIRECTORY ${headers})
        file(CREATE_LINK /usr/include/${dir} ${headers}/${dir} SYMBOLIC)
      endif()
    endforeach()
  else()
    find_path(QV_CLI11_INCLUDE CLI/CLI.hpp)
    find_path(QV_JSON_INCLUDE nlohmann/json.hpp)
    if(NOT QV_CLI11_INCLUDE OR NOT QV_JSON_INCLUDE)
      message(FATAL_ERROR "CLI11 or nlohmann/json headers not found (tools/install-deps.sh installs them)")
    endif()
    set(headers ${QV_CLI11_INCLUDE} ${QV_JSON_INCLUDE})
  endif()
  target_include_directories(${target} SYSTEM PRIVATE ${headers})
  if(TARGET ${target}_asan)   # the sanitizer variants of a qv_library
    foreach(v ${QV_VARIANTS})
      target_include_directories(${target}_${v} SYSTEM PRIVATE ${headers})
    endforeach()
  endif()
endfunction()
