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
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
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

# Writes the lists of benchmarks and fuzzers for the Makefile.
function(zembrio_finish)
  get_property(b GLOBAL PROPERTY ZEMBRIO_BENCHES)
  get_property(f GLOBAL PROPERTY ZEMBRIO_FUZZERS)
  string(REPLACE ";" "\n" b "${b}")
  string(REPLACE ";" "\n" f "${f}")
  file(WRITE ${CMAKE_BINARY_DIR}/benches.txt "${b}\n")
  file(WRITE ${CMAKE_BINARY_DIR}/fuzzers.txt "${f}\n")
endfunction()
