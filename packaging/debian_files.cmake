# Run by CPack on the staged files of the Debian package, as dh_compress and dh_installchangelogs
# would: the manual page compressed, the licence named copyright, the changelog added, compressed.

# One commit, one package: CPack dates every member and file by SOURCE_DATE_EPOCH, which is the
# caller's when set and otherwise the sources' date that the build was configured with.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "" AND NOT CPACK_ONDRELLE_SOURCE_EPOCH STREQUAL "")
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ONDRELLE_SOURCE_EPOCH})
endif()

set(usr ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(doc ${usr}/share/doc/ondrelle)

function(gzip_to source target)
  # -n: no name and no time stamp, so that the same sources give the same package.
  execute_process(COMMAND gzip -9nc ${source} OUTPUT_FILE ${target} COMMAND_ERROR_IS_FATAL ANY)
endfunction()

gzip_to(${usr}/share/man/man1/ondrelle.1 ${usr}/share/man/man1/ondrelle.1.gz)
file(REMOVE ${usr}/share/man/man1/ondrelle.1)
file(RENAME ${doc}/LICENSE ${doc}/copyright)
gzip_to(${CPACK_ONDRELLE_CHANGELOG} ${doc}/changelog.gz)
