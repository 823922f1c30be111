# The manual page is made from the program's own --help at build time, so the
# two never part; it and the Debian changelog go into the package compressed
# as Debian wants them (gzip -9n: no name, no time stamp).
find_program(HELP2MAN help2man REQUIRED)
set(docs ${PROJECT_BINARY_DIR}/package-docs)
set(manual_include ${PROJECT_SOURCE_DIR}/res/linux/burnbench-cli.h2m)
add_custom_command(
  OUTPUT ${docs}/burnbench-cli.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${docs}
  COMMAND ${HELP2MAN} --no-info --include=${manual_include} --output=${docs}/burnbench-cli.1
          $<TARGET_FILE:burnbench-cli>
  COMMAND gzip -9nf ${docs}/burnbench-cli.1
  DEPENDS burnbench-cli ${manual_include}
  VERBATIM)
configure_file(res/linux/changelog.in ${docs}/changelog @ONLY)
add_custom_command(
  OUTPUT ${docs}/changelog.gz
  COMMAND gzip -9nkf ${docs}/changelog
  DEPENDS ${docs}/changelog
  VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${docs}/burnbench-cli.1.gz ${docs}/changelog.gz)
install(FILES ${docs}/burnbench-cli.1.gz DESTINATION share/man/man1)
install(FILES ${docs}/changelog.gz DESTINATION share/doc/burnbench-cli)
