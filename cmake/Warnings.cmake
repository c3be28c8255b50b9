# Strict warnings for the project's own targets; third-party headers come in as SYSTEM. They
# become errors only where asked for (GLYPHWERK_WERROR: `make test`, CI, sanitizer builds), so
# that a packager's build with another compiler version is not stopped by a new warning.
function(glyphwerk_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
        -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
        $<$<BOOL:${GLYPHWERK_WERROR}>:-Werror>)
endfunction()
