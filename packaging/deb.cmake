# The Debian package, ondrelle_VERSION_ARCH.deb: what `cmake --install` installs, under /usr, with
# its dependencies computed by dpkg-shlibdeps. debian_files.cmake then makes the staged files what
# Debian expects. scripts/package makes it and has lintian look at it.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^ondrelle \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog starts with no entry for ondrelle ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ondrelle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Brindlecote)
set(CPACK_PACKAGE_CONTACT "Brindlecote <support@brindlecote.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "CD-ROMs that open an HTML site when they go into Windows")
set(CPACK_PACKAGE_DESCRIPTION [=[
Ondrelle makes a CD-ROM that holds an HTML web site open itself when the disc
goes into a Windows computer. Windows AutoPlay can start a program but cannot
open a document; Ondrelle's launcher, kelmora.exe, is the small program it
starts, and it opens the site's start page in the browser.

The ondrelle command says what the disc will do on Windows, lists everything
that would break it (missing pages, names Windows cannot open, broken links),
and writes the ISO 9660 image, with the launcher and autorun.inf added.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# disc --sign and the check of signatures run it; without it, the rest works.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS osslsigncode)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/debian_files.cmake)
set(CPACK_ONDRELLE_CHANGELOG ${PROJECT_SOURCE_DIR}/packaging/changelog)
set(CPACK_ONDRELLE_SOURCE_EPOCH "${SOURCE_EPOCH}")
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
include(CPack)
