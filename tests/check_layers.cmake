# The layers of the tree, checked on every include of src/ and sim/:
#
#   app                              the windows' shell (may use everything)
#   serial/ui config/ui basic/ui advanced/ui   the windows, above their cores
#   cli        commissioning         the command line, plans
#   sim        basic advanced        the simulated controller, the two blocks
#   config     serial     base       memory access, the line, what all share
#
# An include may point only down (or within its own folder), and no core file
# (outside app/ and the ui/ leaves) includes a Qt Widgets or Qt Gui header.
#
#   cmake -DROOT=<source dir> "-DGUI_DIRS=<Qt Widgets and Gui include dirs>" -P check_layers.cmake

set(rank_base 0)
set(rank_serial 1)
set(rank_config 2)
set(rank_basic 3)
set(rank_advanced 3)
set(rank_sim 4)
set(rank_commissioning 5)
set(rank_cli 6)
set(rank_serial/ui 7)
set(rank_config/ui 8)
set(rank_basic/ui 9)
set(rank_advanced/ui 9)
set(rank_app 10)

# The layer folder of a path below src/ or the root ("serial/ui/x.h" -> "serial/ui").
function(layer_of path out)
  string(REGEX REPLACE "^src/" "" path "${path}")
  get_filename_component(dir "${path}" DIRECTORY)
  set(${out} "${dir}" PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/src/*.h ${ROOT}/src/*.cpp ${ROOT}/sim/*.h ${ROOT}/sim/*.cpp)
set(wrong)
foreach(file IN LISTS files)
  layer_of(${file} mine)
  if(NOT DEFINED rank_${mine})
    list(APPEND wrong "${file}: the folder ${mine} has no place in the layers")
    continue()
  endif()
  file(STRINGS ${ROOT}/${file} lines REGEX "^#include ")
  get_filename_component(here ${file} DIRECTORY)
  foreach(line IN LISTS lines)
    if(line MATCHES "^#include \"([^\"]+)\"")
      set(name ${CMAKE_MATCH_1})
      if(EXISTS ${ROOT}/${here}/${name})
        set(target ${here}/${name})
      elseif(EXISTS ${ROOT}/src/${name})
        set(target src/${name})
      elseif(EXISTS ${ROOT}/${name})
        set(target ${name})
      else()
        continue()  # generated (the version header)
      endif()
      layer_of(${target} theirs)
      if(theirs STREQUAL mine)
        continue()
      endif()
      if(NOT rank_${theirs} LESS rank_${mine})
        list(APPEND wrong "${file}: includes ${name}, which is not below ${mine}")
      endif()
    elseif(line MATCHES "^#include <(Q[A-Za-z/]+)>" AND rank_${mine} LESS 7)
      set(header ${CMAKE_MATCH_1})
      foreach(dir IN LISTS GUI_DIRS)
        if(dir MATCHES "/Qt(Widgets|Gui)$" AND EXISTS ${dir}/${header} AND NOT IS_DIRECTORY ${dir}/${header})
          list(APPEND wrong "${file}: a core file includes the widget or GUI header <${header}>")
        endif()
      endforeach()
    endif()
  endforeach()
endforeach()

if(wrong)
  list(JOIN wrong "\n  " text)
  message(FATAL_ERROR "Includes that break the layers:\n  ${text}")
endif()
list(LENGTH files count)
message(STATUS "${count} files keep to the layers")
