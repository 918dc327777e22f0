# The Debian package: `cpack -G DEB` in the build folder, or scripts/package.sh.
# Name, summary and description come from the metainfo, so the software centre and apt show the
# same words; the run-time dependencies are computed by dpkg-shlibdeps from the binary.

file(READ ${PROJECT_SOURCE_DIR}/data/org.tavix.Tavix.metainfo.xml tavix_metainfo)
string(REGEX MATCH "<summary>([^<]*)</summary>" _ "${tavix_metainfo}")
set(tavix_summary "${CMAKE_MATCH_1}")
string(REGEX MATCH "<description>(.*)</description>" _ "${tavix_metainfo}")
set(tavix_description_xml "${CMAKE_MATCH_1}")
# One paragraph per <p>, its words wrapped at 72 columns for apt's display; CPack writes the blank
# line between paragraphs as Debian's " ." line.
string(REGEX MATCHALL "<p>[^<]*</p>" tavix_paragraphs "${tavix_description_xml}")
set(tavix_description "")
foreach(paragraph IN LISTS tavix_paragraphs)
    string(REGEX REPLACE "</?p>" "" paragraph "${paragraph}")
    string(STRIP "${paragraph}" paragraph)
    string(REGEX REPLACE "[ \t\r\n]+" ";" words "${paragraph}")
    if(tavix_description)
        string(APPEND tavix_description "\n\n")
    endif()
    set(line "")
    foreach(word IN LISTS words)
        string(LENGTH "${line} ${word}" length)
        if(line AND length GREATER 72)
            string(APPEND tavix_description "${line}\n")
            set(line "${word}")
        elseif(line)
            string(APPEND line " ${word}")
        else()
            set(line "${word}")
        endif()
    endforeach()
    string(APPEND tavix_description "${line}")
endforeach()
if(NOT tavix_summary OR NOT tavix_description)
    message(FATAL_ERROR "The metainfo lost its <summary> or <description>: the package needs both")
endif()
# Software centres show the release list: a new version needs its entry there.
if(NOT tavix_metainfo MATCHES "<release version=\"${PROJECT_VERSION}\"")
    message(FATAL_ERROR "data/org.tavix.Tavix.metainfo.xml has no <release version=\"${PROJECT_VERSION}\">")
endif()

# Debian asks every package for its licence and changelog under /usr/share/doc/<package>, the
# changelog compressed reproducibly (no name, no time stamp in the gzip header).
include(GNUInstallDirs)
set(tavix_docdir ${CMAKE_INSTALL_DATADIR}/doc/tavix)
find_program(GZIP_PROGRAM gzip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/data/changelog ${CMAKE_BINARY_DIR}/package/changelog COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/data/tavix.1.in ${CMAKE_BINARY_DIR}/package/tavix.1 @ONLY)
set(tavix_changelog ${CMAKE_BINARY_DIR}/package/changelog.gz)
set(tavix_manpage ${CMAKE_BINARY_DIR}/package/tavix.1.gz)
foreach(compressed IN ITEMS ${tavix_changelog} ${tavix_manpage})
    string(REGEX REPLACE "\\.gz$" "" plain ${compressed})
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${GZIP_PROGRAM} -9nkf ${plain}
        DEPENDS ${plain}
        VERBATIM)
endforeach()
add_custom_target(tavix_package_docs ALL DEPENDS ${tavix_changelog} ${tavix_manpage})
install(FILES ${PROJECT_SOURCE_DIR}/data/copyright ${tavix_changelog} DESTINATION ${tavix_docdir})
install(FILES ${tavix_manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tavix")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${tavix_summary}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME tavix)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tavix Developers <developers@tavix.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tavix.org/")
# CPack puts the summary on the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${tavix_description}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plug-ins, so dpkg-shlibdeps cannot see them: the offscreen and other platforms, and a
# font to draw the digits with on a system that has none.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
