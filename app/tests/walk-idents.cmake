# Writes OUT: the identifiers written as L"..." in the libraries' and the
# editor's sources under ROOT (enumeration and set members among them), one
# quoted string a line, for the walk of the registered classes. The file is
# rewritten only when its contents change.
set(ids "")
foreach(dir classlib toolbars treecontrol valueedit extlib statusbar ThemeManager app unicode)
  file(GLOB_RECURSE files ${ROOT}/${dir}/*.cpp ${ROOT}/${dir}/*.h)
  foreach(f ${files})
    if(f MATCHES "/tests/|/fuzz/")
      continue()
    endif()
    file(STRINGS ${f} lines REGEX "L\"[A-Za-z][A-Za-z0-9_]*\"")
    foreach(l IN LISTS lines)
      string(REGEX MATCHALL "L\"[A-Za-z][A-Za-z0-9_]*\"" found "${l}")
      list(APPEND ids ${found})
    endforeach()
  endforeach()
endforeach()
list(REMOVE_DUPLICATES ids)
list(SORT ids)
string(JOIN ",\n" body ${ids})
file(WRITE ${OUT}.new "${body}\n")
configure_file(${OUT}.new ${OUT} COPYONLY)
