# Flags every target of the project shares.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_compile_options(-Wall -Wextra)

# Static C/C++ runtime and winpthread: deliverables depend on system DLLs only.
add_link_options(-static)
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_C_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE "-s")
set(CMAKE_SHARED_LINKER_FLAGS_RELEASE "-s")

# Unicode entry points (wWinMain / wmain).
function(caldris_unicode_entry target)
  target_link_options(${target} PRIVATE -municode)
endfunction()

# The HID back end under the device layer: Debian's hidapi unless the program
# that is linked says otherwise (the virtual cooler). Chosen per linked program,
# so the back end always follows the device layer on the link line.
define_property(TARGET PROPERTY CALDRIS_HID_BACKEND
  BRIEF_DOCS "The library that provides the hidapi functions to the device layer")
function(caldris_use_virtual_cooler target)
  set_target_properties(${target} PROPERTIES CALDRIS_HID_BACKEND vcooler)
endfunction()

# Test and demo programs honour the developer overrides in the environment;
# the release program and the tools that ship never do.
define_property(TARGET PROPERTY CALDRIS_DEVELOPER_BUILD
  BRIEF_DOCS "The program honours developer overrides (update server address)")
function(caldris_developer_build target)
  set_target_properties(${target} PROPERTIES CALDRIS_DEVELOPER_BUILD ON)
endfunction()

# Adds every sub-folder of the calling folder that has a CMakeLists.txt of its own.
function(caldris_add_subfolders)
  file(GLOB dirs LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(dir ${dirs})
    if(IS_DIRECTORY ${dir} AND EXISTS ${dir}/CMakeLists.txt)
      add_subdirectory(${dir})
    endif()
  endforeach()
endfunction()
