# cmake -DICONV=<iconv> -DSOURCE=<utf-8 file> -DOUTPUT=<file> -P ConvertToShiftJis.cmake
# Writes SOURCE as Shift-JIS (CP932) with CR LF line ends to OUTPUT; a character that CP932
# lacks fails the build rather than being dropped.
get_filename_component(folder ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${folder})
execute_process(
  COMMAND ${ICONV} -f UTF-8 -t CP932 ${SOURCE}
  COMMAND sed -e "s/\r*$/\r/"
  OUTPUT_FILE ${OUTPUT}.tmp
  RESULTS_VARIABLE results
  ERROR_VARIABLE errors)
foreach(result ${results})
  if(NOT result EQUAL 0)
    file(REMOVE ${OUTPUT}.tmp)
    message(FATAL_ERROR "converting ${SOURCE} to Shift-JIS failed: ${errors}")
  endif()
endforeach()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
