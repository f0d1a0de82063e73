# dist/: what ships, put together from the build.
add_custom_target(dist ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CALDRIS_DIST_DIR}/skins/theme1
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Caldris> $<TARGET_FILE:QLUI> ${CALDRIS_DIST_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CALDRIS_SKIN_FILES} ${CALDRIS_DIST_DIR}/skins/theme1/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CALDRIS_LANGUAGE_FILE} ${CALDRIS_DIST_DIR}/language/2052.lan
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:sensorlib> $<TARGET_FILE:glimra-diag> ${CALDRIS_DIST_DIR}/
  DEPENDS Caldris QLUI caldris_skin caldris_language sensorlib glimra-diag
  COMMENT "Assembling dist/")
