# SPDX-License-Identifier: MIT
# Manual pages are made from each program's own --help and --version output at build time,
# so a page cannot say something the program does not.
set(ZEPA_MAN_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/help-to-man.sh)

# zepa_man_page(PROGRAM "one-line description" COMPONENT [EXCLUDE_FROM_ALL])
function(zepa_man_page program description component)
  set(page ${PROJECT_BINARY_DIR}/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page}
    # The program runs during the build; a sanitizer build must not fail on Qt's start-up.
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
      sh ${ZEPA_MAN_SCRIPT} $<TARGET_FILE:${program}> ${description} ${ZEPA_RELEASE_DATE} ${page}
    DEPENDS ${program} ${ZEPA_MAN_SCRIPT}
    COMMENT "Handbuchseite ${program}.1"
    VERBATIM)
  add_custom_target(${program}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${component} ${ARGN})
endfunction()
