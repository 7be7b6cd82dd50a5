# The editor's logic beneath its windows: settings store, value object,
# registry files, bookmarks, search, root-key names and path helpers.
#  zembrio_app_core: portable part (also built natively for sanitizers/fuzzing)
#  zembrio_app:      registry access and the search thread (Windows)

set(_app_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(zembrio_app_core STATIC
  ${_app_dir}/RegRoots.cpp
  ${_app_dir}/Cvalue.cpp
  ${_app_dir}/RegFile.cpp
  ${_app_dir}/Bookmarks.cpp
  ${_app_dir}/RegStore.cpp
  ${_app_dir}/SearchMatch.cpp)
target_link_libraries(zembrio_app_core PUBLIC classlib_core zregex)
if(WIN32)
  # The settings store goes with its form through the class library's
  # property helpers.
  target_sources(zembrio_app_core PRIVATE ${_app_dir}/RegStoreFiler.cpp)
  target_link_libraries(zembrio_app_core PUBLIC classlib)
endif()

zembrio_add_tests(app core
  SOURCES
    ${_app_dir}/tests/RootsPathsTest.cpp
    ${_app_dir}/tests/ValueTextTest.cpp
    ${_app_dir}/tests/RegFileTest.cpp
    ${_app_dir}/tests/BookmarksTest.cpp
    ${_app_dir}/tests/SettingsTest.cpp
    ${_app_dir}/tests/SearchMatchTest.cpp
  LIBS zembrio_app_core)

zembrio_add_fuzzer(app_regfile SOURCES ${_app_dir}/fuzz/RegFileFuzz.cpp LIBS zembrio_app_core)

if(WIN32)
  add_library(zembrio_app STATIC
    ${_app_dir}/RegAccess.cpp
    ${_app_dir}/CvalueReg.cpp
    ${_app_dir}/RegStoreReg.cpp
    ${_app_dir}/IORegistry.cpp
    ${_app_dir}/SearchThread.cpp
    ${_app_dir}/CommonLogic.cpp
    ${_app_dir}/RegEdits.cpp
    ${_app_dir}/WorkerRun.cpp)
  # Form streaming of the settings store and the registry-file component
  # takes the class library's property helpers.
  target_link_libraries(zembrio_app PUBLIC zembrio_app_core classlib_system classlib advapi32 version)

  zembrio_add_tests(app logic GUI
    SOURCES
      ${_app_dir}/tests/ValueRegistryTest.cpp
      ${_app_dir}/tests/SettingsRegistryTest.cpp
      ${_app_dir}/tests/IORegistryTest.cpp
      ${_app_dir}/tests/SearchThreadTest.cpp
      ${_app_dir}/tests/CommonLogicTest.cpp
      ${_app_dir}/tests/RegEditsTest.cpp
      ${_app_dir}/tests/AppLogicTests.rc
    LIBS zembrio_app)
endif()
