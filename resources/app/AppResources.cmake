# The program's resource script: manifest (administrator, common controls 6),
# window icon 107 (the built Caldris.ico) and version information. Compiled once
# as an object library so every program build (release and virtual cooler) can
# link the same object through ${CALDRIS_APP_RESOURCES}.
set(CALDRIS_ICON ${CALDRIS_ICON_FILE})
set(CALDRIS_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/Caldris.manifest)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/app/Caldris.manifest.in ${CALDRIS_MANIFEST} @ONLY)
string(REPLACE "." "," CALDRIS_VERSION_COMMAS ${PROJECT_VERSION})
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/app/Caldris.rc.in ${CMAKE_CURRENT_BINARY_DIR}/Caldris.rc @ONLY)

add_library(caldris_app_resources OBJECT ${CMAKE_CURRENT_BINARY_DIR}/Caldris.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/Caldris.rc PROPERTIES
  OBJECT_DEPENDS "${CALDRIS_ICON_FILE};${CALDRIS_MANIFEST}")
add_dependencies(caldris_app_resources caldris_skin)
set(CALDRIS_APP_RESOURCES $<TARGET_OBJECTS:caldris_app_resources> CACHE INTERNAL "Program resources to add to a program's sources")
