# Renders one skin SVG to PNG and fails unless the PNG has the expected size.
# cmake -DRSVG=<rsvg-convert> -DSVG=<in> -DPNG=<out> -DWIDTH=<w> -DHEIGHT=<h> -P RenderSkinImage.cmake
get_filename_component(_dir ${PNG} DIRECTORY)
file(MAKE_DIRECTORY ${_dir})
set(_tmp ${PNG}.part)
execute_process(COMMAND ${RSVG} -o ${_tmp} ${SVG} RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
  file(REMOVE ${_tmp})
  message(FATAL_ERROR "rsvg-convert failed on ${SVG}")
endif()

# PNG signature (8 bytes), IHDR length and type (8), then width and height, big-endian.
file(READ ${_tmp} _head LIMIT 24 HEX)
string(SUBSTRING "${_head}" 0 16 _signature)
string(SUBSTRING "${_head}" 24 8 _type)
string(SUBSTRING "${_head}" 32 8 _w)
string(SUBSTRING "${_head}" 40 8 _h)
math(EXPR _w "0x${_w}")
math(EXPR _h "0x${_h}")
if(NOT _signature STREQUAL "89504e470d0a1a0a" OR NOT _type STREQUAL "49484452"
   OR NOT _w EQUAL WIDTH OR NOT _h EQUAL HEIGHT)
  file(REMOVE ${_tmp})
  message(FATAL_ERROR "${SVG} rendered ${_w}x${_h}, expected ${WIDTH}x${HEIGHT}")
endif()
file(RENAME ${_tmp} ${PNG})
