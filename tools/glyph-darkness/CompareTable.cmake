# Regenerates the darkness table and fails unless it equals the committed one byte for byte.
execute_process(COMMAND ${TOOL} ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "glyph-darkness failed with status ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${EXPECTED} ${OUTPUT}
    RESULT_VARIABLE differs)
if(differs)
    message(FATAL_ERROR "${OUTPUT} differs from ${EXPECTED}: run the `table` target and review")
endif()
