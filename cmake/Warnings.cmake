# Strict warnings for the project's own targets; third-party headers come in as SYSTEM. They
# become errors only where asked for (GLYPHWERK_WERROR: `make test`, CI, sanitizer builds), so
# that a packager's build with another compiler version is not stopped by a new warning.
#
# GCC 12's -Wnull-dereference and -Wrestrict judge optimised code after inlining, and there they
# flag libstdc++'s stream buffers, std::string concatenation and Qt's inline widget functions
# (known false positives of GCC 12). Those two stay on in debug builds and with clang, which see
# the project's own code, and are left out of GCC's optimised builds only.
function(glyphwerk_warnings target)
    target_compile_options(${target} PRIVATE
        -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
        -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
        $<$<AND:$<CXX_COMPILER_ID:GNU>,$<NOT:$<CONFIG:Debug>>>:-Wno-null-dereference -Wno-restrict>
        $<$<BOOL:${GLYPHWERK_WERROR}>:-Werror>)
endfunction()
