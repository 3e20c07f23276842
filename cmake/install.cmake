# Where `cmake --install` puts the tool, under the prefix (DESTDIR works): bin/ondrelle, its manual
# page, its bash completion, and the README and the licence in share/doc/ondrelle. With
# ONDRELLE_LAUNCHER (the release preset) the same build makes kelmora.exe, which goes to
# share/ondrelle, where the tool looks for it (../share/ondrelle beside itself), and CPack makes the
# Debian package (packaging/deb.cmake).
include(GNUInstallDirs)

configure_file(${PROJECT_SOURCE_DIR}/doc/ondrelle.1.in ${CMAKE_BINARY_DIR}/ondrelle.1 @ONLY)

install(TARGETS ondrelle_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/ondrelle.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/doc/ondrelle.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ondrelle)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ondrelle)

if(ONDRELLE_LAUNCHER)
  # The win32 preset's own build of kelmora.exe, so that its flags are those of the win32 preset
  # exactly; copied beside the tool, where the tool in this build tree finds it.
  include(ExternalProject)
  ExternalProject_Add(kelmora_launcher
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/launcher
    CONFIGURE_COMMAND ${CMAKE_COMMAND} -S <SOURCE_DIR> -B <BINARY_DIR> --preset win32 -DONDRELLE_TESTS=OFF
    BUILD_COMMAND $(MAKE) kelmora
    BUILD_ALWAYS ON
    INSTALL_COMMAND ${CMAKE_COMMAND} -E copy_if_different <BINARY_DIR>/kelmora.exe ${CMAKE_BINARY_DIR}/kelmora.exe
    BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/kelmora.exe)
  install(FILES ${CMAKE_BINARY_DIR}/kelmora.exe DESTINATION ${CMAKE_INSTALL_DATADIR}/ondrelle)
  include(${PROJECT_SOURCE_DIR}/packaging/deb.cmake)
endif()
