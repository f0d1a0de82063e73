# The public keys that update packages and release records are checked
# against, built into the program. The release keys are a configure input
# (default: the committed public half; the private half never enters the
# repository): a list, so that a rotation can ship the old and the new key for
# one release, and a test can build a "release" with a throwaway key.
# Developer builds (test programs) trust as well a test key that is generated
# once into <build>/update-keys/ together with a second, untrusted one; the
# program that ships trusts the release keys only, whatever CALDRIS_BUILD_TESTS
# says (the same link-time choice as the developer overrides).
set(CALDRIS_RELEASE_KEYS ${CMAKE_SOURCE_DIR}/app/update/keys/update-release-key.pub.pem
  CACHE STRING "Public halves (PEM files, ;-list) of the keys the released program trusts")

set(CALDRIS_TEST_KEYS_DIR ${CMAKE_BINARY_DIR}/update-keys)
if(CALDRIS_BUILD_TESTS)
  find_program(OPENSSL openssl REQUIRED)
  file(MAKE_DIRECTORY ${CALDRIS_TEST_KEYS_DIR})
  foreach(key test-update-key untrusted-update-key throwaway-release-key)
    if(NOT EXISTS ${CALDRIS_TEST_KEYS_DIR}/${key}.pub.pem)
      execute_process(
        COMMAND ${OPENSSL} genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out ${CALDRIS_TEST_KEYS_DIR}/${key}.pem
        COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
      execute_process(
        COMMAND ${OPENSSL} pkey -in ${CALDRIS_TEST_KEYS_DIR}/${key}.pem -pubout -out ${CALDRIS_TEST_KEYS_DIR}/${key}.pub.pem
        COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
endif()

# caldris_update_keys_library(name keys...): a library defining TrustedUpdateKeys() over keys.
function(caldris_update_keys_library name)
  set(CALDRIS_TRUSTED_KEYS_SOURCE "")
  foreach(key ${ARGN})
    if(NOT EXISTS ${key})
      message(FATAL_ERROR "update key ${key} not found (CALDRIS_RELEASE_KEYS)")
    endif()
    file(READ ${key} pem)
    string(STRIP "${pem}" pem)
    if(NOT pem MATCHES "^-----BEGIN PUBLIC KEY-----")
      message(FATAL_ERROR "${key} is not a PEM public key")
    endif()
    string(APPEND CALDRIS_TRUSTED_KEYS_SOURCE "    R\"(${pem})\",\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${key})
  endforeach()
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated/${name}.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/app/update/TrustedUpdateKeys.cpp.in ${generated} @ONLY)
  add_library(${name} STATIC ${generated})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/app/update)
endfunction()

# caldris_trusted_update_keys(target): links the keys of the target's flavour.
function(caldris_trusted_update_keys target)
  caldris_update_keys_library(caldris_keys_release ${CALDRIS_RELEASE_KEYS})
  if(CALDRIS_BUILD_TESTS)
    caldris_update_keys_library(caldris_keys_developer ${CALDRIS_RELEASE_KEYS}
      ${CALDRIS_TEST_KEYS_DIR}/test-update-key.pub.pem)
  else()
    caldris_update_keys_library(caldris_keys_developer ${CALDRIS_RELEASE_KEYS})
  endif()
  target_link_libraries(${target} PUBLIC
    "$<IF:$<BOOL:$<TARGET_PROPERTY:CALDRIS_DEVELOPER_BUILD>>,caldris_keys_developer,caldris_keys_release>")
endfunction()
