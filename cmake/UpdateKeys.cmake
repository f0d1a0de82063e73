# The public keys that update packages are checked against, built into the
# program: the release key, whose public half is committed (its private half
# never enters the repository); builds with tests also trust a test key that is
# generated once into <build>/update-keys/ together with a second, untrusted one.
set(CALDRIS_UPDATE_KEYS ${CMAKE_SOURCE_DIR}/app/update/keys/update-release-key.pub.pem)

if(CALDRIS_BUILD_TESTS)
  find_program(OPENSSL openssl REQUIRED)
  set(CALDRIS_TEST_KEYS_DIR ${CMAKE_BINARY_DIR}/update-keys)
  file(MAKE_DIRECTORY ${CALDRIS_TEST_KEYS_DIR})
  foreach(key test-update-key untrusted-update-key)
    if(NOT EXISTS ${CALDRIS_TEST_KEYS_DIR}/${key}.pub.pem)
      execute_process(
        COMMAND ${OPENSSL} genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:3072 -out ${CALDRIS_TEST_KEYS_DIR}/${key}.pem
        COMMAND_ERROR_IS_FATAL ANY OUTPUT_QUIET ERROR_QUIET)
      execute_process(
        COMMAND ${OPENSSL} pkey -in ${CALDRIS_TEST_KEYS_DIR}/${key}.pem -pubout -out ${CALDRIS_TEST_KEYS_DIR}/${key}.pub.pem
        COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endforeach()
  list(APPEND CALDRIS_UPDATE_KEYS ${CALDRIS_TEST_KEYS_DIR}/test-update-key.pub.pem)
endif()

# caldris_trusted_update_keys(target): adds the generated list of trusted keys.
function(caldris_trusted_update_keys target)
  set(CALDRIS_TRUSTED_KEYS_SOURCE "")
  foreach(key ${CALDRIS_UPDATE_KEYS})
    file(READ ${key} pem)
    string(STRIP "${pem}" pem)
    string(APPEND CALDRIS_TRUSTED_KEYS_SOURCE "    R\"(${pem})\",\n")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${key})
  endforeach()
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/generated/TrustedUpdateKeys.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/app/update/TrustedUpdateKeys.cpp.in ${generated} @ONLY)
  target_sources(${target} PRIVATE ${generated})
endfunction()
