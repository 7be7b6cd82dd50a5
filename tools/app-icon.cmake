# Builds the program's icon from Tango icons (public domain):
#   cmake -DCONVERT=<ImageMagick convert> -DICONS=<icon theme folder>
#         -DOUT=<file.ico> -P app-icon.cmake
# A folder (a key, as the tree shows it) with the system-settings gear on its
# lower right corner, at 16 and 32 pixels (each size drawn from the theme's
# own picture of that size), in one .ico file.

foreach(v CONVERT ICONS OUT)
  if(NOT DEFINED ${v})
    message(FATAL_ERROR "app-icon.cmake: ${v} is not set")
  endif()
endforeach()

set(_sizes "")
foreach(pair "16|10" "32|20")
  string(REPLACE "|" ";" p "${pair}")
  list(GET p 0 size)
  list(GET p 1 gear)
  set(base "${ICONS}/${size}x${size}/places/folder.png")
  set(over "${ICONS}/${size}x${size}/categories/applications-system.png")
  foreach(f "${base}" "${over}")
    if(NOT EXISTS "${f}")
      message(FATAL_ERROR "app-icon.cmake: missing icon ${f} (package tango-icon-theme)")
    endif()
  endforeach()
  set(png "${OUT}.${size}.png")
  execute_process(
    COMMAND "${CONVERT}" "${base}" -background none -gravity center -extent ${size}x${size}
            ( "${over}" -resize ${gear}x${gear} ) -gravity southeast -composite -depth 8 "PNG32:${png}"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "app-icon.cmake: ${CONVERT} failed on ${base}: ${err}")
  endif()
  list(APPEND _sizes "${png}")
endforeach()

execute_process(COMMAND "${CONVERT}" ${_sizes} "ICO:${OUT}.new" RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "app-icon.cmake: ${CONVERT} could not write the icon: ${err}")
endif()
file(REMOVE ${_sizes})
file(RENAME "${OUT}.new" "${OUT}")
