# Install-time script of the Windows package (windows-package.cmake sets the
# TARVELIN_DEPLOY_* variables): puts beside the programs the Qt plugins their
# Qt modules load at run time, then every DLL the programs and those plugins
# import, and what those import in turn, read from their import tables.
#
# A DLL that is found nowhere along TARVELIN_DEPLOY_SEARCH must be one of
# Windows' own, which MinGW links against through an import library
# (lib<name>.a in TARVELIN_DEPLOY_IMPORT_LIBS); anything else stops the
# install: a package without a DLL it needs would only fail on the user's
# machine.

# The plugins a Qt module loads by itself, as "module DLL=plugin folder/plugin".
set(pluginsOfModule
    "Qt6Gui.dll=platforms/qwindows.dll"
    "Qt6Widgets.dll=styles/qwindowsvistastyle.dll")

# Every DLL file along the search path, by its name in lower case (Windows
# matches DLL names without regard to case; this file system does not).
foreach(dir IN LISTS TARVELIN_DEPLOY_SEARCH)
  file(GLOB dlls ${dir}/*.dll)
  foreach(dll IN LISTS dlls)
    get_filename_component(name ${dll} NAME)
    string(TOLOWER ${name} lower)
    if(NOT DEFINED path_${lower})
      set(path_${lower} ${dll})
    endif()
  endforeach()
endforeach()

# Copies a DLL into `folder`, without its symbols (Debian's MinGW runtime
# DLLs carry them: libstdc++ is 24 MB with, 2 MB without).
function(tarvelin_deploy_file dll folder)
  file(INSTALL ${dll} DESTINATION ${folder})
  get_filename_component(name ${dll} NAME)
  execute_process(COMMAND ${TARVELIN_DEPLOY_STRIP} --strip-unneeded ${folder}/${name} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${folder}/${name}")
  endif()
endfunction()

# Reads the import table of `file` and deploys each DLL it names that is not
# yet deployed, with what that one imports, and the plugins of a Qt module.
function(tarvelin_deploy_imports file)
  execute_process(COMMAND ${TARVELIN_DEPLOY_OBJDUMP} -p ${file} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot read the imports of ${file}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" names "${dump}")
  foreach(line IN LISTS names)
    string(REGEX REPLACE "^DLL Name: " "" name "${line}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" lower)
    get_property(done GLOBAL PROPERTY tarvelin_deployed_${lower} SET)
    if(done OR lower MATCHES "^(api-ms-win-|ext-ms-)")
      continue()
    endif()
    set_property(GLOBAL PROPERTY tarvelin_deployed_${lower} TRUE)
    if(DEFINED path_${lower})
      tarvelin_deploy_file(${path_${lower}} ${TARVELIN_DEPLOY_TARGET})
      tarvelin_deploy_imports(${path_${lower}})
      tarvelin_deploy_plugins(${lower})
      continue()
    endif()
    string(REGEX REPLACE "\\.dll$" "" stem ${lower})
    if(NOT EXISTS ${TARVELIN_DEPLOY_IMPORT_LIBS}/lib${stem}.a)
      message(FATAL_ERROR "${file} imports ${name}, which is found neither along ${TARVELIN_DEPLOY_SEARCH} "
                          "nor as a DLL of Windows itself")
    endif()
  endforeach()
endfunction()

# Deploys the plugins the Qt module `dll` (lower case) loads, with their imports.
function(tarvelin_deploy_plugins dll)
  foreach(entry IN LISTS pluginsOfModule)
    string(REPLACE "=" ";" pair ${entry})
    list(GET pair 0 module)
    list(GET pair 1 plugin)
    string(TOLOWER ${module} module)
    if(NOT dll STREQUAL module)
      continue()
    endif()
    set(source ${TARVELIN_DEPLOY_QT_PREFIX}/plugins/${plugin})
    if(NOT EXISTS ${source})
      message(FATAL_ERROR "${module} needs the plugin ${plugin}, which is not in ${TARVELIN_DEPLOY_QT_PREFIX}/plugins")
    endif()
    get_filename_component(folder ${plugin} DIRECTORY)
    tarvelin_deploy_file(${source} ${TARVELIN_DEPLOY_TARGET}/${folder})
    tarvelin_deploy_imports(${source})
  endforeach()
endfunction()

foreach(program IN LISTS TARVELIN_DEPLOY_PROGRAMS)
  tarvelin_deploy_imports(${program})
endforeach()
