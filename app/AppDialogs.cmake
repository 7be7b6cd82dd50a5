# The editor's dialogs: value editors, find, options, about, the HTML Help
# loader and the file dialogs with the places bar (zembrio_dialogs), and
# the help file Zembrio.chm built from help/ beside the program.

set(_dlg_dir ${CMAKE_CURRENT_LIST_DIR})

if(WIN32 AND TARGET zembrio_app AND TARGET valueedit)
  add_library(zembrio_dialogs STATIC
    ${_dlg_dir}/EditValue.cpp
    ${_dlg_dir}/EditValueBin.cpp
    ${_dlg_dir}/FindForm.cpp
    ${_dlg_dir}/OptionsForm.cpp
    ${_dlg_dir}/AboutForm.cpp
    ${_dlg_dir}/Help.cpp
    ${_dlg_dir}/PlacesDialogs.cpp)
  target_link_libraries(zembrio_dialogs PUBLIC zembrio_app valueedit classlib comdlg32 version)

  file(GLOB _dlg_tests CONFIGURE_DEPENDS ${_dlg_dir}/tests/dialogs_*.cpp)
  if(_dlg_tests)
    zembrio_add_tests(app dialogs GUI
      SOURCES ${_dlg_tests} ${_dlg_dir}/tests/dialogs_tests.rc
      LIBS zembrio_dialogs)
  endif()
endif()

# The help file, compiled with chmcmd (Free Pascal's utilities) and put
# beside Zembrio.exe.
find_program(ZEMBRIO_CHMCMD chmcmd)
if(WIN32 AND ZEMBRIO_CHMCMD)
  file(GLOB _help_sources CONFIGURE_DEPENDS ${_dlg_dir}/help/*)
  set(_help_work ${CMAKE_CURRENT_BINARY_DIR}/help)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/Zembrio.chm
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${_dlg_dir}/help ${_help_work}
    COMMAND ${CMAKE_COMMAND} -E chdir ${_help_work} ${ZEMBRIO_CHMCMD} --no-html-scan Zembrio.hhp > ${_help_work}.log
    COMMAND ${CMAKE_COMMAND} -E copy ${_help_work}/Zembrio.chm ${CMAKE_BINARY_DIR}/Zembrio.chm
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    DEPENDS ${_help_sources}
    COMMENT "Building the help file Zembrio.chm"
    VERBATIM)
  add_custom_target(zembrio_help ALL DEPENDS ${CMAKE_BINARY_DIR}/Zembrio.chm)
  if(BUILD_TESTING)
    add_test(NAME app.helpfile
             COMMAND ${CMAKE_COMMAND} -DCHM=${CMAKE_BINARY_DIR}/Zembrio.chm -P ${_dlg_dir}/help/CheckHelpFile.cmake)
    set_tests_properties(app.helpfile PROPERTIES LABELS app TIMEOUT 60)
  endif()
endif()

# The test of the dialogs bound to the data module needs the editor's
# windows (zembrio_ui), which this folder defines after this file: it is
# set up once the folder is read.
function(_zembrio_dialogs_wiring_tests)
  if(TARGET zembrio_dialogs AND TARGET zembrio_ui)
    file(GLOB _wiring_tests CONFIGURE_DEPENDS ${_dlg_dir}/tests/dialogswiring_*.cpp)
    if(_wiring_tests)
      zembrio_add_tests(app dialogs_wiring GUI
        SOURCES ${_wiring_tests} ${_dlg_dir}/tests/dialogs_support.cpp ${_dlg_dir}/tests/dialogs_tests.rc
        LIBS zembrio_dialogs zembrio_ui)
    endif()
  endif()
endfunction()
if(WIN32)
  cmake_language(DEFER CALL _zembrio_dialogs_wiring_tests)
endif()
