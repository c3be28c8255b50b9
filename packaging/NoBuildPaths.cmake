# Fails when PROGRAM holds any of ROOTS ('|'-separated folders) in its text: a program that
# names its checkout or build tree reads them when installed, and differs between build folders.
string(REPLACE "|" ";" roots "${ROOTS}")
file(STRINGS ${PROGRAM} texts)
foreach(root ${roots})
    foreach(text IN LISTS texts)
        string(FIND "${text}" "${root}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${PROGRAM} holds the path ${root}: ${text}")
        endif()
    endforeach()
endforeach()
