# The language file the program reads beside itself (language\2052.lan),
# copied next to the programs and tests.
set(CALDRIS_LANGUAGE_FILE ${CMAKE_CURRENT_SOURCE_DIR}/language/2052.lan CACHE INTERNAL "Shipped language file")
set(_lan ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/language/2052.lan)
add_custom_command(OUTPUT ${_lan}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CALDRIS_LANGUAGE_FILE} ${_lan}
  DEPENDS ${CALDRIS_LANGUAGE_FILE}
  COMMENT "Language file 2052.lan"
  VERBATIM)
add_custom_target(caldris_language ALL DEPENDS ${_lan})
