# The editor's windows: data module, main window, confirm and error dialogs,
# the list view with a stored layout. zembrio_ui is linked by the program
# and by the window tests. Windows only.

set(_ui_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(zembrio_ui STATIC
  ${_ui_dir}/dmodCommonU.cpp
  ${_ui_dir}/Dialogs.cpp
  ${_ui_dir}/frmConfirmU.cpp
  ${_ui_dir}/frmErrorU.cpp
  ${_ui_dir}/ListViewQ.cpp
  ${_ui_dir}/Main.cpp
  ${_ui_dir}/KeyTree.cpp
  ${_ui_dir}/ValuesList.cpp
  ${_ui_dir}/BookmarksList.cpp
  ${_ui_dir}/MainDelete.cpp
  ${_ui_dir}/WaitCursor.cpp)
target_link_libraries(zembrio_ui PUBLIC zembrio_app treecontrol toolbars_skin toolbars thememanager classlib comctl32)
include(${_ui_dir}/AppImages.cmake)

# Start-up: the forms created and bound as the program does it, shared by
# WinMain and the end-to-end tests.
if(TARGET zembrio_dialogs)
  target_sources(zembrio_ui PRIVATE ${_ui_dir}/Startup.cpp ${_ui_dir}/ModuleTable.cpp)
  target_link_libraries(zembrio_ui PUBLIC zembrio_dialogs statusbar extlib)
  file(GLOB _e2e_tests CONFIGURE_DEPENDS ${_ui_dir}/tests/e2e_*.cpp)
  if(_e2e_tests)
    zembrio_add_tests(app e2e GUI
      SOURCES ${_e2e_tests} ${_ui_dir}/tests/e2e_support.cpp ${_ui_dir}/tests/dialogs_support.cpp
              ${_ui_dir}/Zembrio.rc
      LIBS zembrio_ui)
    # The end-to-end tests load the system libraries as the program does.
    zembrio_delay_load(app_e2e_tests)
    add_dependencies(app_e2e_tests zembrio_icon)
    # The tests of the windows on the screen once more in a prefix of their
    # own whose screen has 144 dots per inch.
    if(BUILD_TESTING)
      add_test(NAME app.e2e_dpi144
               COMMAND ${CMAKE_SOURCE_DIR}/tools/wine-run.sh ${CMAKE_BINARY_DIR}/dpi144
                       ${CMAKE_BINARY_DIR}/tests/app_e2e_tests.exe --gtest_color=no --gtest_filter=ScreenDpi.*)
      set_tests_properties(app.e2e_dpi144 PROPERTIES ENVIRONMENT ZEMBRIO_LOG_PIXELS=144 RESOURCE_LOCK gui
                                                     LABELS app TIMEOUT 300)
    endif()
  endif()

  # Every class registered while the program's modules are up, walked
  # through the form stream. The program sees each registration (the class
  # library's registration functions wrapped) and tries the identifiers of
  # the sources as changed values.
  if(BUILD_TESTING)
    set(_walk_dir ${CMAKE_CURRENT_BINARY_DIR}/walk)
    file(GLOB_RECURSE _walk_sources CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/classlib/*.cpp ${CMAKE_SOURCE_DIR}/classlib/*.h
         ${CMAKE_SOURCE_DIR}/toolbars/*.cpp ${CMAKE_SOURCE_DIR}/toolbars/*.h
         ${CMAKE_SOURCE_DIR}/treecontrol/*.cpp ${CMAKE_SOURCE_DIR}/treecontrol/*.h
         ${CMAKE_SOURCE_DIR}/valueedit/*.cpp ${CMAKE_SOURCE_DIR}/valueedit/*.h
         ${CMAKE_SOURCE_DIR}/extlib/*.cpp ${CMAKE_SOURCE_DIR}/extlib/*.h
         ${CMAKE_SOURCE_DIR}/statusbar/*.cpp ${CMAKE_SOURCE_DIR}/statusbar/*.h
         ${CMAKE_SOURCE_DIR}/ThemeManager/*.cpp ${CMAKE_SOURCE_DIR}/ThemeManager/*.h
         ${CMAKE_SOURCE_DIR}/unicode/*.cpp ${CMAKE_SOURCE_DIR}/unicode/*.h
         ${_ui_dir}/*.cpp ${_ui_dir}/*.h)
    add_custom_command(
      OUTPUT ${_walk_dir}/WalkIdents.inc
      COMMAND ${CMAKE_COMMAND} -DROOT=${CMAKE_SOURCE_DIR} -DOUT=${_walk_dir}/WalkIdents.inc
              -P ${_ui_dir}/tests/walk-idents.cmake
      DEPENDS ${_walk_sources} ${_ui_dir}/tests/walk-idents.cmake
      COMMENT "Listing the identifiers of the sources"
      VERBATIM)
  endif()
  zembrio_add_tests(app registeredclasses GUI
    SOURCES ${_ui_dir}/tests/registered_classes_test.cpp ${_walk_dir}/WalkIdents.inc ${_ui_dir}/Zembrio.rc
    LIBS zembrio_ui)
  if(TARGET app_registeredclasses_tests)
    target_include_directories(app_registeredclasses_tests PRIVATE ${_walk_dir})
    zembrio_delay_load(app_registeredclasses_tests)
    add_dependencies(app_registeredclasses_tests zembrio_icon)
    target_link_options(app_registeredclasses_tests PRIVATE
      -Wl,--wrap=_Z22RegisterComponentClassRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEESt8functionIFP10TComponentS9_EE
      -Wl,--wrap=_Z15RegisterClassesSt16initializer_listI19TComponentClassInfoE
      -Wl,--wrap=_Z18RegisterComponentsRKNSt7__cxx1112basic_stringIwSt11char_traitsIwESaIwEEESt16initializer_listI19TComponentClassInfoE)
  endif()
endif()

zembrio_add_tests(app mainwindow GUI
  SOURCES
    ${_ui_dir}/tests/main_window_test.cpp
    ${_ui_dir}/tests/main_listviewq_test.cpp
  LIBS zembrio_ui)
