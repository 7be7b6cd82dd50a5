# The editor's windows: data module, main window, confirm and error dialogs,
# the list view with a stored layout. zembrio_ui is linked by the program
# and by the window tests. Windows only.

set(_ui_dir ${CMAKE_CURRENT_LIST_DIR})

add_library(zembrio_ui STATIC
  ${_ui_dir}/DataModule.cpp
  ${_ui_dir}/Dialogs.cpp
  ${_ui_dir}/ListViewQ.cpp
  ${_ui_dir}/Main.cpp
  ${_ui_dir}/KeyTree.cpp
  ${_ui_dir}/ValuesList.cpp
  ${_ui_dir}/BookmarksList.cpp
  ${_ui_dir}/MainDelete.cpp)
target_link_libraries(zembrio_ui PUBLIC zembrio_app treecontrol toolbars classlib comctl32)

zembrio_add_tests(app mainwindow GUI
  SOURCES
    ${_ui_dir}/tests/main_window_test.cpp
    ${_ui_dir}/tests/main_listviewq_test.cpp
  LIBS zembrio_ui)
