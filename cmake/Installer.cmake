# The Windows installer of whatever dist/ holds (CALDRIS_INSTALLER, named as
# the release names it).
find_program(CALDRIS_MAKENSIS makensis REQUIRED)
add_custom_target(installer ALL
  COMMAND ${CMAKE_SOURCE_DIR}/installer/build-installer.sh ${CALDRIS_DIST_DIR} ${PROJECT_VERSION} ${CALDRIS_INSTALLER}
  DEPENDS dist
  COMMENT "Installer: installer/Vantrel Glimra Setup ${PROJECT_VERSION}.exe"
  VERBATIM)
