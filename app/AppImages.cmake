# The editor's pictures: icons of the Tango icon theme (Debian's package
# tango-icon-theme, public domain) turned into image strips in a generated
# source at build time (ImageMagick's convert), so the program needs no
# picture file at run time. The order of each list is the order of the
# image indices the windows use.

set(_img_icons /usr/share/icons/Tango)
find_program(ZEMBRIO_CONVERT convert)
if(NOT ZEMBRIO_CONVERT OR NOT EXISTS ${_img_icons}/16x16/places/folder.png)
  message(FATAL_ERROR "The editor's pictures need ImageMagick and tango-icon-theme (make deps installs them)")
endif()

# Menus and toolbars, by command: 0 Exit, 1 Large Icons, 2 Small Icons,
# 3 List, 4 Details, 5 Expand, 6 Collapse, 7 Bookmark, 8 Help contents,
# 9 About, 10 New Key, 11 New, 12 Rename, 13 Delete, 14 String Value,
# 15 Binary Value, 16 DWORD Value, 17 Refresh, 18 Import, 19 Export,
# 20 Preferences, 21 Find, 22 Copy key path, 23 Toolbars, 24 Contact,
# 25 Go / Open, 26 Copy value, 27 Edit value, 28 Repeat find,
# 29 Expandable String Value.
set(_img_menu
  actions/system-log-out mimetypes/image-x-generic categories/preferences-desktop actions/format-justify-left
  mimetypes/x-office-spreadsheet actions/list-add actions/list-remove actions/bookmark-new apps/help-browser
  status/dialog-information actions/folder-new actions/document-new apps/accessories-text-editor actions/edit-delete
  mimetypes/text-x-generic mimetypes/binary apps/accessories-calculator actions/view-refresh actions/document-open
  actions/document-save-as categories/preferences-system actions/edit-find actions/edit-copy
  apps/preferences-system-windows actions/mail-message-new actions/go-jump actions/edit-copy
  actions/document-properties actions/system-search mimetypes/text-x-script)
# The tree: 0 "My Registry", 1 a key, 2 the selected key.
set(_img_tree devices/computer places/folder status/folder-open)
# The lists: 0 string, 1 integer, 2 binary, 3 bookmark, 4 expandable
# string, 5 any other.
set(_img_list mimetypes/text-x-generic apps/accessories-calculator mimetypes/binary actions/bookmark-new
  mimetypes/text-x-script mimetypes/unknown)
# The tabs: 0 searching, 1 search finished, 2 bookmarks, 3 find results.
set(_img_tabs status/image-loading actions/edit-find actions/bookmark-new actions/edit-find)

set(_img_strips "")
foreach(s "ImageStripMenu16|16|_img_menu" "ImageStripTree16|16|_img_tree" "ImageStripList16|16|_img_list"
          "ImageStripList32|32|_img_list" "ImageStripTabs16|16|_img_tabs")
  string(REPLACE "|" ";" _p "${s}")
  list(GET _p 2 _var)
  string(REPLACE ";" "," _icons "${${_var}}")
  string(REPLACE "${_var}" "${_icons}" s "${s}")
  list(APPEND _img_strips "${s}")
  list(GET _p 1 _size)
  foreach(_i ${${_var}})
    list(APPEND _img_files ${_img_icons}/${_size}x${_size}/${_i}.png)
  endforeach()
endforeach()

set(_img_out ${CMAKE_CURRENT_BINARY_DIR}/AppImageData.cpp)
string(REPLACE ";" "!" _img_strips_arg "${_img_strips}")
add_custom_command(
  OUTPUT ${_img_out}
  COMMAND ${CMAKE_COMMAND} -DCONVERT=${ZEMBRIO_CONVERT} -DICONS=${_img_icons} -DOUT=${_img_out}
          "-DSTRIPS=${_img_strips_arg}" -P ${CMAKE_SOURCE_DIR}/tools/image-strips.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/image-strips.cmake ${CMAKE_CURRENT_LIST_FILE} ${_img_files}
  COMMENT "Building the editor's image strips"
  VERBATIM)
target_sources(zembrio_ui PRIVATE ${_img_out})
