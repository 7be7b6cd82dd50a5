# Makes delay-load import libraries: for each "lib:dll" pair, an archive
# lib<lib>.a in OUTDIR that binds the DLL's functions on their first call
# (through the C runtime's delay-load helper) instead of when the program
# loads. The function names come from the toolchain's own import library.
#   cmake -DNM=<nm> -DDLLTOOL=<dlltool> -DLIBDIR=<toolchain lib folder>
#         -DOUTDIR=<folder> -DPAIRS=<lib:dll!lib:dll...> -P delay-imports.cmake

string(REPLACE "!" ";" PAIRS "${PAIRS}")
file(MAKE_DIRECTORY "${OUTDIR}")
foreach(pair ${PAIRS})
  string(REPLACE ":" ";" p "${pair}")
  list(GET p 0 lib)
  list(GET p 1 dll)
  execute_process(COMMAND "${NM}" "${LIBDIR}/lib${lib}.a" OUTPUT_VARIABLE syms RESULT_VARIABLE rc ERROR_QUIET)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "delay-imports.cmake: cannot read ${LIBDIR}/lib${lib}.a")
  endif()
  # The import library's entries "... I __imp_Name".
  string(REGEX MATCHALL "I __imp_[A-Za-z0-9_@?$]+" names "${syms}")
  list(TRANSFORM names REPLACE "^I __imp_" "")
  list(REMOVE_DUPLICATES names)
  list(SORT names)
  string(REPLACE ";" "\n" names "${names}")
  file(WRITE "${OUTDIR}/${lib}.def" "LIBRARY ${dll}\nEXPORTS\n${names}\n")
  execute_process(COMMAND "${DLLTOOL}" --input-def "${OUTDIR}/${lib}.def" --dllname "${dll}"
                          --output-delaylib "${OUTDIR}/lib${lib}.a"
                  RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "delay-imports.cmake: ${DLLTOOL} failed for ${dll}: ${err}")
  endif()
endforeach()
