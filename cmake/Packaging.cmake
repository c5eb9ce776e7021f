# Installation, packages and their tests.
#
#   cmake --install build/native --prefix /usr/local   bin/tvx and share/man/man1/tvx.1.gz
#   cpack --config build/native/CPackConfig.cmake      tvx_<version>_<arch>.deb
#   cpack --config build/windows/CPackConfig.cmake     tvx-<version>-win32.zip
#   cpack --config build/windows64/CPackConfig.cmake   tvx-<version>-win64.zip
#
# The Debian package follows the Linux file system layout; the Windows zip is
# flat: a folder holding tvx.exe and README.txt (CR LF line ends), as Windows
# users unpack and run command-line tools.

include(GNUInstallDirs)

if(WIN32)
  install(TARGETS tvx RUNTIME DESTINATION .)

  # The plain-text README, with the line ends Notepad and "type" expect.
  set(TVX_README_SOURCE "${PROJECT_SOURCE_DIR}/packaging/README.txt")
  set(TVX_README_CRLF "${PROJECT_BINARY_DIR}/packaging/README.txt")
  add_custom_command(
    OUTPUT "${TVX_README_CRLF}"
    COMMAND "${CMAKE_COMMAND}" -D "IN=${TVX_README_SOURCE}" -D "OUT=${TVX_README_CRLF}"
            -P "${PROJECT_SOURCE_DIR}/packaging/crlf.cmake"
    DEPENDS "${TVX_README_SOURCE}" "${PROJECT_SOURCE_DIR}/packaging/crlf.cmake"
    COMMENT "Writing README.txt with CR LF line ends"
    VERBATIM)
  add_custom_target(tvx_readme ALL DEPENDS "${TVX_README_CRLF}")
  install(FILES "${TVX_README_CRLF}" DESTINATION .)
else()
  install(TARGETS tvx RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

  # The manual page, compressed as Debian installs manual pages (-n: no name
  # or time stamp inside, so the package is the same from build to build).
  set(TVX_MAN_SOURCE "${PROJECT_SOURCE_DIR}/doc/tvx.1")
  find_program(TVX_GZIP gzip)
  if(TVX_GZIP)
    set(TVX_MAN_PAGE "${PROJECT_BINARY_DIR}/doc/tvx.1.gz")
    add_custom_command(
      OUTPUT "${TVX_MAN_PAGE}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${PROJECT_BINARY_DIR}/doc"
      COMMAND "${TVX_GZIP}" -9 -n -c "${TVX_MAN_SOURCE}" > "${TVX_MAN_PAGE}"
      DEPENDS "${TVX_MAN_SOURCE}"
      COMMENT "Compressing the manual page"
      VERBATIM)
    add_custom_target(tvx_man ALL DEPENDS "${TVX_MAN_PAGE}")
  else()
    message(STATUS "gzip not found: the manual page is installed uncompressed")
    set(TVX_MAN_PAGE "${TVX_MAN_SOURCE}")
  endif()
  install(FILES "${TVX_MAN_PAGE}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
endif()

# ---- CPack ----
set(CPACK_PACKAGE_NAME "tvx")
set(CPACK_PACKAGE_VENDOR "The tvx developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "directory lister and command-line generator")
set(CPACK_PACKAGE_DESCRIPTION
    "tvx lists one directory, or its whole tree, as a list of names, as
ready-made command lines built from a prefix, a suffix and per-entry macros
(name, full path, date and time), as a table of dates, sizes and drive space,
or as a count. It turns a directory tree into a file list or a batch of
commands.")
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  set(CPACK_GENERATOR "ZIP")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "tvx-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "tvx-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR "DEB")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The tvx developers")
  set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
  set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
  find_program(TVX_DPKG dpkg)
  if(TVX_DPKG)
    execute_process(COMMAND "${TVX_DPKG}" --print-architecture
                    OUTPUT_VARIABLE TVX_DEB_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE TVX_DPKG_RESULT)
    if(TVX_DPKG_RESULT EQUAL 0 AND TVX_DEB_ARCH)
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE "${TVX_DEB_ARCH}")
    endif()
  endif()
  find_program(TVX_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(TVX_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    message(STATUS "dpkg-shlibdeps not found (package dpkg-dev): the .deb will name no dependencies")
  endif()
endif()

include(CPack)

# ---- Tests of the install, the packages and the manual page ----
if(BUILD_TESTING AND NOT CMAKE_CROSSCOMPILING AND Python3_FOUND)
  find_program(TVX_BASH bash REQUIRED)
  set(TVX_PACKAGE_TESTS "${PROJECT_SOURCE_DIR}/tests/package")

  # The .deb made from this build, unpacked into a temporary root and run.
  add_test(NAME deb_install
           COMMAND "${TVX_BASH}" "${TVX_PACKAGE_TESTS}/deb_install.sh"
                   "${CMAKE_CPACK_COMMAND}" "${PROJECT_BINARY_DIR}/CPackConfig.cmake")
  # The manual page source is clean roff.
  add_test(NAME man_page
           COMMAND "${TVX_BASH}" "${TVX_PACKAGE_TESTS}/man_page.sh" "${TVX_MAN_SOURCE}")
  # The native program and the Windows program under Wine list the same tree alike.
  add_test(NAME same_listing
           COMMAND "${Python3_EXECUTABLE}" "${TVX_PACKAGE_TESTS}/same_listing.py"
                   --native $<TARGET_FILE:tvx> --windows "${TVX_WINDOWS_BUILD_DIR}/tvx.exe"
                   --wine "${TVX_WINE}")
  set_tests_properties(deb_install man_page PROPERTIES TIMEOUT 300)
  set_tests_properties(same_listing PROPERTIES TIMEOUT 600)
endif()
