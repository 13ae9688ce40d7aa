# The installed program's own files beside it (the user service, the manual page, the licence and
# changes) and the Debian package CPack makes of everything installed: `cpack -G DEB` in a build
# folder configured by scripts/package.sh.

# The version the about alert shows, so the package and `pagewyn --version` agree.
file(READ ${CMAKE_SOURCE_DIR}/resources/Info.json PAGEWYN_INFO)
string(JSON PAGEWYN_VERSION GET "${PAGEWYN_INFO}" version)
set(PAGEWYN_PACKAGE_MAINTAINER "Pagewyn developers <pagewyn@example.org>" CACHE STRING
  "The package's maintainer, a name and a mail address")

# The service starts the installed program by its full path, wherever the prefix is.
set(PAGEWYN_SERVICE_PROGRAM ${CMAKE_INSTALL_FULL_BINDIR}/pagewyn)
configure_file(resources/pagewyn.service.in ${CMAKE_BINARY_DIR}/pagewyn.service @ONLY)
configure_file(resources/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)

# Manual pages and changelogs are installed compressed, as man and Debian expect; -n keeps the
# bytes the same in every build.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(PAGEWYN_DOCUMENTS ${CMAKE_BINARY_DIR}/documents)
set(PAGEWYN_COMPRESSED ${PAGEWYN_DOCUMENTS}/pagewyn.1.gz ${PAGEWYN_DOCUMENTS}/changelog.gz)
file(MAKE_DIRECTORY ${PAGEWYN_DOCUMENTS})
add_custom_command(OUTPUT ${PAGEWYN_COMPRESSED}
  COMMAND ${CMAKE_COMMAND} -E copy
    ${CMAKE_SOURCE_DIR}/resources/pagewyn.1 ${CMAKE_BINARY_DIR}/changelog ${PAGEWYN_DOCUMENTS}
  COMMAND ${GZIP_EXECUTABLE} -9nf pagewyn.1 changelog
  DEPENDS resources/pagewyn.1 ${CMAKE_BINARY_DIR}/changelog
  WORKING_DIRECTORY ${PAGEWYN_DOCUMENTS}
  VERBATIM)
add_custom_target(pagewyn_documents ALL DEPENDS ${PAGEWYN_COMPRESSED})

# systemd looks for user units in lib/systemd/user of /usr and of /usr/local alike.
install(FILES ${CMAKE_BINARY_DIR}/pagewyn.service DESTINATION lib/systemd/user)
install(FILES ${PAGEWYN_DOCUMENTS}/pagewyn.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/copyright ${PAGEWYN_DOCUMENTS}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pagewyn)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pagewyn)
set(CPACK_PACKAGE_VERSION ${PAGEWYN_VERSION})
set(CPACK_PACKAGE_CONTACT ${PAGEWYN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal library of EPUB books, read in the web browser")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries are found in the program by dpkg-shlibdeps; the page's faces are files it serves,
# which no tool can find: Lato, with DejaVu where Lato lacks a weight.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-lato, fonts-dejavu-core")
# xdg-open opens the browser and the library folder; without it Pagewyn prints the address.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# CPack writes the summary as the first line itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Pagewyn keeps a folder of EPUB books and shows it in the web browser: covers,
titles and authors, most recently opened first or by title or author, found as
you type. A book opens where it was left, in any script and writing direction.
.
Phones and other browsers pair once; reading apps browse and download the
library as an OPDS catalog. The user service pagewyn.service keeps the library
served after login.")
include(CPack)
