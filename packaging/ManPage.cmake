# Writes PAGE (roff) and PAGE.gz from PROGRAM --help and the template TEMPLATE with TOOL.
execute_process(COMMAND ${PROGRAM} --help OUTPUT_FILE ${PAGE}.help RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${failed}")
endif()
execute_process(COMMAND ${TOOL} ${TEMPLATE} ${PAGE} INPUT_FILE ${PAGE}.help
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "man-page failed for ${PROGRAM}")
endif()
# -n: no name or time stamp in the archive, so equal pages give equal files.
execute_process(COMMAND gzip -9nc ${PAGE} OUTPUT_FILE ${PAGE}.gz RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip failed for ${PAGE}")
endif()
