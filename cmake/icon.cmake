# The application icon in pixels, drawn from data/tarvelin-config.svg by
# rsvg-convert (Debian: librsvg2-bin).
#
#   tarvelin_draw_icons(DIR SIZES result)
#
# adds the command that draws DIR/<size>.png for each of SIZES (for targets of
# the calling directory) and sets `result` to those files, or to nothing when
# rsvg-convert is missing.
find_program(TARVELIN_RSVG_CONVERT rsvg-convert)

function(tarvelin_draw_icons dir sizes result)
  set(files)
  if(TARVELIN_RSVG_CONVERT)
    set(svg ${PROJECT_SOURCE_DIR}/data/tarvelin-config.svg)
    set(draw)
    foreach(size IN LISTS sizes)
      list(APPEND draw COMMAND ${TARVELIN_RSVG_CONVERT} -w ${size} -h ${size} -o ${dir}/${size}.png ${svg})
      list(APPEND files ${dir}/${size}.png)
    endforeach()
    add_custom_command(OUTPUT ${files} COMMAND ${CMAKE_COMMAND} -E make_directory ${dir} ${draw}
                       DEPENDS ${svg} VERBATIM)
  endif()
  set(${result} ${files} PARENT_SCOPE)
endfunction()
