# The skin: SVG sources rendered to PNG with rsvg-convert at build time into
# skins/theme1 next to the programs (bin/, where the program and the tests run)
# and copied into dist/ by cmake/Dist.cmake. Each image is checked against the
# size its place in the UI implies; strips hold their frames side by side.
find_program(CALDRIS_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(CALDRIS_PYTHON3 python3 REQUIRED)

set(CALDRIS_SKIN_DIR ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/skins/theme1 CACHE INTERNAL "Built skin folder")

set(CALDRIS_SKIN_IMAGES
  # name                 width height frames   where it is drawn
  img_bkg                500   350    1      # main window client area, stretched 1:1
  img_close              104   25     4      # close button 451,14 - 477,39
  img_set                112   28     4      # settings button 406,12 - 434,40
  img_return             112   28     4      # the same button on the settings page
  img_temp_type1         333   139    1      # unit switch 84,106 - 417,245 (Celsius)
  img_temp_type2         333   139    1      # the same, Fahrenheit
  img_led_on             93    31     1      # light switch 24,12 - 117,43 (on)
  img_led_off            93    31     1      # the same, off
  img_dev_cpu            91    28     1      # source switch 205,289 - 296,317 (CPU)
  img_dev_gpu            91    28     1      # the same, GPU
  img_FAQ                225   60     1      # web page link 140,220 - 365,280
  img_button             480   30     4      # push buttons, nine-slice with 8-pixel corners
  bk_msgbox              360   120    1      # progress window 360 x 120, nine-slice
  img_tip_bk             40    32     1      # hover balloon body, nine-slice with 6-pixel corners
  img_tip_arrow_left     7     14     1      # balloon arrows by side
  img_tip_arrow_right    7     14     1
  img_tip_arrow_top      14    7      1
)

set(CALDRIS_SKIN_OUTPUTS "")
list(LENGTH CALDRIS_SKIN_IMAGES _count)
math(EXPR _last "${_count} - 1")
foreach(_i RANGE 0 ${_last} 4)
  math(EXPR _iw "${_i} + 1")
  math(EXPR _ih "${_i} + 2")
  math(EXPR _if "${_i} + 3")
  list(GET CALDRIS_SKIN_IMAGES ${_i} _name)
  list(GET CALDRIS_SKIN_IMAGES ${_iw} _width)
  list(GET CALDRIS_SKIN_IMAGES ${_ih} _height)
  list(GET CALDRIS_SKIN_IMAGES ${_if} _frames)
  math(EXPR _rest "${_width} % ${_frames}")
  if(NOT _rest EQUAL 0)
    message(FATAL_ERROR "Skin ${_name}: width ${_width} does not divide into ${_frames} frames")
  endif()
  set(_svg ${CMAKE_CURRENT_SOURCE_DIR}/skin/${_name}.svg)
  set(_png ${CALDRIS_SKIN_DIR}/${_name}.png)
  add_custom_command(OUTPUT ${_png}
    COMMAND ${CMAKE_COMMAND} -DRSVG=${CALDRIS_RSVG_CONVERT} -DSVG=${_svg} -DPNG=${_png}
            -DWIDTH=${_width} -DHEIGHT=${_height}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/skin/RenderSkinImage.cmake
    DEPENDS ${_svg} ${CMAKE_CURRENT_SOURCE_DIR}/skin/RenderSkinImage.cmake
    COMMENT "Skin ${_name}.png"
    VERBATIM)
  list(APPEND CALDRIS_SKIN_OUTPUTS ${_png})
endforeach()

# The program's icon: the tray loads it from the skin folder; the program file
# embeds the same file as icon resource 107.
set(CALDRIS_ICON_FILE ${CALDRIS_SKIN_DIR}/Caldris.ico CACHE INTERNAL "Built program icon")
add_custom_command(OUTPUT ${CALDRIS_ICON_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CALDRIS_SKIN_DIR}
  COMMAND ${CALDRIS_PYTHON3} ${CMAKE_CURRENT_SOURCE_DIR}/icon/make_ico.py
          --rsvg ${CALDRIS_RSVG_CONVERT} --out ${CALDRIS_ICON_FILE}
          --svg ${CMAKE_CURRENT_SOURCE_DIR}/icon/Caldris-small.svg 16 24 32
          --svg ${CMAKE_CURRENT_SOURCE_DIR}/icon/Caldris.svg 48 64 256
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/icon/make_ico.py
          ${CMAKE_CURRENT_SOURCE_DIR}/icon/Caldris-small.svg
          ${CMAKE_CURRENT_SOURCE_DIR}/icon/Caldris.svg
  COMMENT "Icon Caldris.ico"
  VERBATIM)

add_custom_target(caldris_skin ALL DEPENDS ${CALDRIS_SKIN_OUTPUTS} ${CALDRIS_ICON_FILE})
# Exactly what ships in skins/theme1 (other tools may add their own images to the folder).
set(CALDRIS_SKIN_FILES ${CALDRIS_SKIN_OUTPUTS} ${CALDRIS_ICON_FILE} CACHE INTERNAL "Files of the shipped skin")
