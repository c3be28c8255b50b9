# `make package`: a Debian package made by CPack from the install rules above.
#
# Shared libraries the programs link are found by dpkg-shlibdeps. FreeType, fontconfig and
# libtiff are opened at run time (src/render) under the sonames found here, so no scan sees
# them: their packages are looked up in dpkg's shlibs files, as dpkg-shlibdeps would, and added.

find_package(Freetype REQUIRED)
find_package(Fontconfig REQUIRED)
find_package(TIFF REQUIRED)
set(run_time_depends)
foreach(library ${TIFF_LIBRARIES} ${FREETYPE_LIBRARIES} ${Fontconfig_LIBRARIES})
    get_filename_component(real ${library} REALPATH)
    get_filename_component(name ${real} NAME)
    if(NOT name MATCHES "^(lib[^.]+)\\.so\\.([0-9]+)")
        continue()
    endif()
    set(key "${CMAKE_MATCH_1} ${CMAKE_MATCH_2} ")
    file(GLOB shlibs /var/lib/dpkg/info/*.shlibs)
    set(found "")
    foreach(file ${shlibs})
        file(STRINGS ${file} lines REGEX "^${key}")
        if(lines)
            list(GET lines 0 line)
            string(REPLACE "${key}" "" found "${line}")
            break()
        endif()
    endforeach()
    if(found)
        list(APPEND run_time_depends "${found}")
    else()
        message(WARNING "No Debian package found for ${name}; the package will not depend on it")
    endif()
endforeach()
# The converter draws TIFF images in a monospace font: one must be there for fontconfig to find.
list(APPEND run_time_depends "fonts-dejavu-core | fonts-liberation | fonts-freefont-ttf")
if(GLYPHWERK_BUILD_GUI)
    # Qt loads these plugins at run time: the SVG icon engine for the window icon.
    list(APPEND run_time_depends "libqt6svg6")
endif()
list(JOIN run_time_depends ", " run_time_depends)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME glyphwerk)
set(CPACK_PACKAGE_VENDOR "The Glyphwerk developers")
set(CPACK_PACKAGE_CONTACT "The Glyphwerk developers <maintainers@glyphwerk.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn pictures into character art")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${run_time_depends}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates")
# The summary line comes from CPACK_PACKAGE_DESCRIPTION_SUMMARY.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Glyphwerk turns a picture into a grid of printable characters whose darkness
follows the picture's brightness, in black and white or with every character
coloured after the picture, and writes it as plain text, RTF, HTML or a TIFF
image.
.
This package holds the Qt desktop program glyphwerk and the command-line
converter glyphwerk-cli.")
include(CPack)
