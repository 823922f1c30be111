# Packages made by cpack in a build folder: a Debian package of the
# command-line program on Linux, a zip of the Windows programs.
set(CPACK_PACKAGE_VENDOR "Burnbench")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Programs cameras built on the VEXA2860 controller over USB")
set(BURNBENCH_PACKAGE_CONTACT "Burnbench developers <developers@burnbench.example>" CACHE STRING
    "The maintainer named by the packages and the Debian changelog")
set(CPACK_PACKAGE_CONTACT ${BURNBENCH_PACKAGE_CONTACT})
set(CPACK_STRIP_FILES ON)
# The packages hold what the build made; cpack must not build every test
# program first, so that a build of the programs alone can be packed.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME "Burnbench-${PROJECT_VERSION}-win64")
  else()
    set(CPACK_PACKAGE_FILE_NAME "Burnbench-${PROJECT_VERSION}-win32")
  endif()
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  install(TARGETS burnbench-cli Burnbench BurnbenchDemo RUNTIME DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME burnbench-cli)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  # What the program links against, by Debian 12's package names.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libusb-1.0-0, libssl3, libsqlite3-0, libpq5, libcpp-httplib0.11")
  # One line each: dpkg shows them as they stand.
  string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "burnbench-cli burns, verifies and reads back the firmware of digital"
    "cameras built on the VEXA2860 controller (and the older VEXA611, VEXA616"
    "and VEXA618) over USB through libusb, and converts, exports and compares"
    "their image files. It burns several cameras at once, writes run reports,"
    "pins the images by their SHA-256, and records a run so that it can be"
    "replayed without the camera; a built-in simulated camera stands in for a"
    "real one.")
  install(TARGETS burnbench-cli RUNTIME DESTINATION bin)
  install(FILES res/linux/70-burnbench.rules.in DESTINATION share/burnbench)
  install(DIRECTORY examples/ DESTINATION share/burnbench/examples)
  install(FILES README.md res/linux/copyright DESTINATION share/doc/burnbench-cli)
  install(FILES res/linux/burnbench-cli.bash-completion
          DESTINATION share/bash-completion/completions RENAME burnbench-cli)
  if(NOT CMAKE_CROSSCOMPILING)
    include(cmake/package_docs.cmake)
  endif()
endif()

include(CPack)
