# Writes Version.h with the project's version and the commit it is built from. Run at every build
# (the commit changes without CMake knowing), it rewrites the header only when the text changes.
# The commit is the same in every checkout of it, so builds in different folders stay identical.
# Inputs: SOURCE_DIR, OUTPUT, VERSION, COMMIT (set by hand for a tree without git; else empty).
if(NOT COMMIT)
    find_package(Git QUIET)
    if(GIT_FOUND)
        execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
            OUTPUT_VARIABLE COMMIT OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
            RESULT_VARIABLE failed)
        if(failed)
            set(COMMIT "")
        else()
            execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} status --porcelain
                --untracked-files=no
                OUTPUT_VARIABLE changes OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
            if(changes)
                string(APPEND COMMIT "-modified")
            endif()
        endif()
    endif()
endif()
if(NOT COMMIT)
    set(COMMIT "unknown")
endif()
set(text "#pragma once\n// Generated at build time by cmake/Version.cmake.\n#define GLYPHWERK_VERSION \"${VERSION}\"\n#define GLYPHWERK_COMMIT \"${COMMIT}\"\n")
if(EXISTS ${OUTPUT})
    file(READ ${OUTPUT} old)
endif()
if(NOT "${old}" STREQUAL "${text}")
    file(WRITE ${OUTPUT} "${text}")
endif()
