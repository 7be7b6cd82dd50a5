# Helpers shared by every subsystem's CMakeLists.txt.

set_property(GLOBAL PROPERTY ZEMBRIO_BENCHES "")
set_property(GLOBAL PROPERTY ZEMBRIO_FUZZERS "")

if(CMAKE_CROSSCOMPILING)
  set(ZEMBRIO_RUN ${CMAKE_SOURCE_DIR}/tools/wine-run.sh ${CMAKE_BINARY_DIR})
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEMBRIO_RUN} CACHE STRING "" FORCE)
else()
  set(ZEMBRIO_RUN "")
endif()

# zembrio_add_tests(<area> <target> [GUI] [NO_MAIN] SOURCES ... LIBS ...)
# A GoogleTest executable registered with ctest as <area>.<target>. Window
# tests (GUI) link the shared test support and its runner's main.
function(zembrio_add_tests area name)
  cmake_parse_arguments(T "GUI;NO_MAIN" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT BUILD_TESTING)
    return()
  endif()
  set(exe ${area}_${name}_tests)
  add_executable(${exe} ${T_SOURCES})
  if(WIN32 AND T_GUI)
    # Window tests run under the shared runner (testsupport/Runner.h).
    if(T_NO_MAIN)
      target_link_libraries(${exe} PRIVATE ${T_LIBS} testsupport gmock gtest)
    else()
      target_link_libraries(${exe} PRIVATE ${T_LIBS} testsupport_main testsupport gmock gtest)
    endif()
  elseif(T_NO_MAIN)
    target_link_libraries(${exe} PRIVATE ${T_LIBS} gmock gtest)
  else()
    target_link_libraries(${exe} PRIVATE ${T_LIBS} gmock gtest_main)
  endif()
  if(WIN32)
    # Tests are console programs (gtest's main), even when they make windows.
    target_link_options(${exe} PRIVATE -mconsole)
    # A program that crashes fails (testsupport/CrashExit.cpp).
    target_link_libraries(${exe} PRIVATE testsupport_crashexit)
  endif()
  set_target_properties(${exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${area}.${name} COMMAND ${exe} --gtest_color=no)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${area}.${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS ${area})
  if(T_GUI)
    set_tests_properties(${area}.${name} PROPERTIES RESOURCE_LOCK gui)
  endif()
endfunction()

# zembrio_add_fuzzer(<name> SOURCES ... LIBS ...): libFuzzer target, host
# clang build only. Registered as a short fixed-seed ctest run (fuzz.<name>).
function(zembrio_add_fuzzer name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS" ${ARGN})
  if(WIN32 OR NOT ZEMBRIO_FUZZ)
    return()
  endif()
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  set_property(GLOBAL APPEND PROPERTY ZEMBRIO_FUZZERS ${name})
  if(BUILD_TESTING)
    add_test(NAME fuzz.${name}
             COMMAND ${name} -seed=1 -max_total_time=15 -timeout=10 -rss_limit_mb=2048)
    set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 120 LABELS fuzz)
  endif()
endfunction()

# zembrio_add_bench(<name> SOURCES ... LIBS ...): a benchmark run by `make bench`.
function(zembrio_add_bench name)
  cmake_parse_arguments(B "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  target_link_libraries(${name} PRIVATE ${B_LIBS})
  if(WIN32)
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench
                        ZEMBRIO_BENCH ON)
  set_property(GLOBAL APPEND PROPERTY ZEMBRIO_BENCHES ${name})
endfunction()

# zembrio_delay_load(<target>): the target loads the system libraries that
# start-up does not need (shell, common dialogs, printing, sound, COM,
# version information, image blending, input methods) on their first call
# instead of when it starts. Its link finds the delay-load import libraries
# before the toolchain's own.
set(ZEMBRIO_DELAY_DLLS shell32:shell32.dll comdlg32:comdlg32.dll winspool:winspool.drv winmm:winmm.dll
    ole32:ole32.dll oleaut32:oleaut32.dll version:version.dll msimg32:msimg32.dll imm32:imm32.dll)
function(zembrio_delay_load target)
  if(NOT WIN32 OR NOT CMAKE_DLLTOOL OR NOT CMAKE_NM OR NOT CMAKE_FIND_ROOT_PATH)
    return()
  endif()
  set(dir ${CMAKE_BINARY_DIR}/delayimp)
  if(NOT TARGET zembrio_delay_imports)
    set(libs "")
    foreach(pair ${ZEMBRIO_DELAY_DLLS})
      string(REGEX REPLACE ":.*" "" lib "${pair}")
      list(APPEND libs ${dir}/lib${lib}.a)
    endforeach()
    string(REPLACE ";" "!" pairs "${ZEMBRIO_DELAY_DLLS}")
    list(GET CMAKE_FIND_ROOT_PATH 0 root)
    add_custom_command(
      OUTPUT ${libs}
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL}
              -DLIBDIR=${root}/lib -DOUTDIR=${dir} -DPAIRS=${pairs}
              -P ${CMAKE_SOURCE_DIR}/tools/delay-imports.cmake
      DEPENDS ${CMAKE_SOURCE_DIR}/tools/delay-imports.cmake
      COMMENT "Making the delay-load import libraries"
      VERBATIM)
    add_custom_target(zembrio_delay_imports DEPENDS ${libs})
    set_property(GLOBAL PROPERTY ZEMBRIO_DELAY_LIBS "${libs}")
  endif()
  get_property(libs GLOBAL PROPERTY ZEMBRIO_DELAY_LIBS)
  add_dependencies(${target} zembrio_delay_imports)
  target_link_directories(${target} PRIVATE ${dir})
  target_link_libraries(${target} PRIVATE delayimp)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libs})
endfunction()

# zembrio_startup_order(<target> <list>): the target's link puts the
# functions named in <list> (one symbol a line, in the order start-up first
# runs them; tools/startup-order.sh writes it) together at the front of its
# code, so that the pages start-up brings in hold little else. Under Wine a
# page of the program's code is brought in with its neighbours (64 KB at a
# time); scattered among the rest, the few thousand functions start-up runs
# would bring in nearly all of it. Needs every function in a section of its
# own (-ffunction-sections, set for the Windows build in CMakeLists.txt).
function(zembrio_startup_order target list)
  if(NOT WIN32 OR NOT CMAKE_LINKER OR NOT EXISTS ${list})
    return()
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}-startup.ld)
  add_custom_command(
    OUTPUT ${script}
    COMMAND ${CMAKE_COMMAND} -DLINKER=${CMAKE_LINKER} -DORDER=${list} -DOUT=${script}
            -P ${CMAKE_SOURCE_DIR}/tools/startup-order.cmake
    DEPENDS ${list} ${CMAKE_SOURCE_DIR}/tools/startup-order.cmake
    COMMENT "Writing the linker script that puts ${target}'s start-up code first"
    VERBATIM)
  add_custom_target(${target}_startup_script DEPENDS ${script})
  add_dependencies(${target} ${target}_startup_script)
  target_link_options(${target} PRIVATE -Wl,-T,${script})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()

# Writes the lists of benchmarks and fuzzers for the Makefile.
function(zembrio_finish)
  get_property(b GLOBAL PROPERTY ZEMBRIO_BENCHES)
  get_property(f GLOBAL PROPERTY ZEMBRIO_FUZZERS)
  string(REPLACE ";" "\n" b "${b}")
  string(REPLACE ";" "\n" f "${f}")
  file(WRITE ${CMAKE_BINARY_DIR}/benches.txt "${b}\n")
  file(WRITE ${CMAKE_BINARY_DIR}/fuzzers.txt "${f}\n")
endfunction()

# Precompiled headers. Nearly every object includes windows.h, the standard
# library and the class library's headers (and every test GoogleTest), which
# cost more than the code itself; each target of the tree is compiled with
# one of two precompiled headers, made once by a small target of its own and
# shared by every target with the same flags: one for libraries and
# programs, one for tests (test targets and the libraries that link the test
# support). Benchmarks keep their own flags and are left as they are.
# The headers are named with angle brackets so that the generated header
# holds no path of the checkout. The precompiled headers themselves are never
# taken from ccache: gcc records each header's modification time in them, and
# a header marked #pragma once whose time differs from the recorded one (the
# same file in another clone, or checked out again) is read a second time,
# so a precompiled header made in another checkout breaks the build.
set(ZEMBRIO_PCH_STD <algorithm> <array> <atomic> <chrono> <cstddef> <cstdint> <cstdio>
    <cstdlib> <cstring> <cwchar> <exception> <functional> <initializer_list> <map> <memory>
    <mutex> <optional> <set> <stdexcept> <string> <string_view> <thread> <unordered_map>
    <utility> <vector>)
if(WIN32)
  set(ZEMBRIO_PCH_LIB ${ZEMBRIO_PCH_STD} <classlib/SysUtils.h> <windows.h> <commctrl.h>
      <classlib/Classes.h> <classlib/Graphics.h> <classlib/Controls.h> <classlib/Forms.h>
      <classlib/StdCtrls.h> <classlib/ExtCtrls.h>)
else()
  set(ZEMBRIO_PCH_LIB ${ZEMBRIO_PCH_STD} <classlib/SysUtils.h> <classlib/Classes.h>)
endif()
set(ZEMBRIO_PCH_TESTS ${ZEMBRIO_PCH_LIB} <gtest/gtest.h> <gmock/gmock.h>)

function(zembrio_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(s ${subdirs})
    zembrio_collect_targets(${s} more)
    list(APPEND targets ${more})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(zembrio_precompile_headers)
  if(NOT ZEMBRIO_PCH)
    return()
  endif()
  zembrio_collect_targets(${CMAKE_SOURCE_DIR} targets)
  set(dir ${CMAKE_BINARY_DIR}/pch)
  file(WRITE ${dir}/pch.cpp "// The precompiled headers' own object.\n")
  set(kinds lib)
  if(BUILD_TESTING AND TARGET gmock)
    list(APPEND kinds tests)
  endif()
  foreach(kind ${kinds})
    add_library(zembrio_pch_${kind} OBJECT ${dir}/pch.cpp)
    if(kind STREQUAL "tests")
      target_link_libraries(zembrio_pch_${kind} PRIVATE gmock gtest)
    endif()
    string(TOUPPER ${kind} K)
    # C++ headers only, should a target compile C too.
    set(headers "")
    foreach(h ${ZEMBRIO_PCH_${K}})
      string(REPLACE ">" "$<ANGLE-R>" h "${h}")
      list(APPEND headers "$<$<COMPILE_LANGUAGE:CXX>:${h}>")
    endforeach()
    target_precompile_headers(zembrio_pch_${kind} PRIVATE ${headers})
    set_target_properties(zembrio_pch_${kind} PROPERTIES CXX_COMPILER_LAUNCHER "")
  endforeach()
  # gcc: ccache caches the objects that use a precompiled header only with
  # -fpch-preprocess.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(pch_options "$<$<COMPILE_LANGUAGE:CXX>:-fpch-preprocess>")
  else()
    set(pch_options "")
  endif()
  # Tests keep line tables and function names (backtraces) but not the
  # description of every local, which costs compile and link time.
  set(options_lib "")
  set(options_tests "$<$<CONFIG:RelWithDebInfo>:-g1>")
  set(test_libs gtest gtest_main gmock gmock_main testsupport testsupport_main)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    get_target_property(src ${t} SOURCE_DIR)
    get_target_property(bench ${t} ZEMBRIO_BENCH)
    if(NOT type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|OBJECT_LIBRARY)$"
       OR t MATCHES "^zembrio_pch_" OR bench
       OR NOT src MATCHES "^${CMAKE_SOURCE_DIR}")
      continue()
    endif()
    get_target_property(links ${t} LINK_LIBRARIES)
    set(kind lib)
    foreach(l ${links})
      if(l IN_LIST test_libs)
        set(kind tests)
      endif()
    endforeach()
    if(NOT TARGET zembrio_pch_${kind})
      continue()
    endif()
    set_target_properties(${t} PROPERTIES PRECOMPILE_HEADERS_REUSE_FROM zembrio_pch_${kind})
    target_compile_options(${t} PRIVATE ${pch_options} ${options_${kind}})
  endforeach()
  foreach(kind ${kinds})
    target_compile_options(zembrio_pch_${kind} PRIVATE ${pch_options} ${options_${kind}})
  endforeach()
endfunction()
