# Run by cmake --install (and so by CPack): the manual pages and the README name the documentation folder of
# the prefix being installed into, which only the install knows (/usr for the .deb, ~/.local for a user).
# Set by the caller: MORVANE_SOURCE_DIR, MORVANE_WORK_DIR, MORVANE_GZIP, MORVANE_MAN_PAGES (page names),
# MORVANE_MANDIR, MORVANE_DOCDIR (relative to the prefix), PROJECT_VERSION, MORVANE_RELEASE_DATE.
set(MORVANE_DOCUMENTS "${CMAKE_INSTALL_PREFIX}/${MORVANE_DOCDIR}")
set(work "${MORVANE_WORK_DIR}/install")
file(MAKE_DIRECTORY "${work}")

foreach(page ${MORVANE_MAN_PAGES})
  configure_file("${MORVANE_SOURCE_DIR}/packaging/man/${page}.in" "${work}/${page}" @ONLY)
  execute_process(COMMAND "${MORVANE_GZIP}" -9nf "${work}/${page}" RESULT_VARIABLE compressed)
  if(NOT compressed EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${page}")
  endif()
  string(REGEX REPLACE ".*\\." "" section "${page}")
  file(INSTALL "${work}/${page}.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${MORVANE_MANDIR}/man${section}")
endforeach()

# The README's links and its copy of --help name the documents where they are installed, beside it.
file(READ "${MORVANE_SOURCE_DIR}/README.md" readme)
string(REGEX REPLACE "([^/A-Za-z])docs/(language|recipes)\\.md" "\\1${MORVANE_DOCUMENTS}/\\2.md" readme "${readme}")
file(WRITE "${work}/README.md" "${readme}")
file(INSTALL "${work}/README.md" DESTINATION "${MORVANE_DOCUMENTS}")
