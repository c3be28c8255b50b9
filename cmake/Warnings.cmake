# Strict warnings for the project's own targets; third-party headers come in as SYSTEM.
function(glyphwerk_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
        -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
        -Werror)
endfunction()
