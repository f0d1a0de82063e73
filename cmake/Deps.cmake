# Third-party libraries, built for mingw by scripts/setup.sh.
if(NOT EXISTS "${CALDRIS_DEPS}/lib/libhidapi.a")
  message(FATAL_ERROR "Missing ${CALDRIS_DEPS}; run scripts/setup.sh first")
endif()

add_library(dep_hidapi STATIC IMPORTED GLOBAL)
set_target_properties(dep_hidapi PROPERTIES
  IMPORTED_LOCATION "${CALDRIS_DEPS}/lib/libhidapi.a"
  INTERFACE_INCLUDE_DIRECTORIES "${CALDRIS_DEPS}/include/hidapi")

add_library(dep_minizip STATIC IMPORTED GLOBAL)
set_target_properties(dep_minizip PROPERTIES
  IMPORTED_LOCATION "${CALDRIS_DEPS}/lib/libminizip.a"
  INTERFACE_INCLUDE_DIRECTORIES "${CALDRIS_DEPS}/include/minizip")

find_library(ZLIB_STATIC NAMES libz.a REQUIRED)
target_link_libraries(dep_minizip INTERFACE ${ZLIB_STATIC})

# The hidapi headers alone, for code that calls hidapi but leaves the choice of
# implementation (the real library or the virtual cooler) to the final link.
add_library(dep_hidapi_headers INTERFACE)
target_include_directories(dep_hidapi_headers INTERFACE "${CALDRIS_DEPS}/include/hidapi")

if(CALDRIS_BUILD_TESTS)
  set(GTest_DIR "${CALDRIS_DEPS}/lib/cmake/GTest")
  find_package(GTest CONFIG REQUIRED PATHS "${CALDRIS_DEPS}" NO_DEFAULT_PATH)
endif()
