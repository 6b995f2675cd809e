# The Windows package, made by CPack from a configured and built tree
# (scripts/windows cross-builds it with MinGW-w64):
#   an installer (NSIS) with a Start-menu entry and an uninstaller, and a zip
#   of the same files.
# Beside the programs go the DLLs they import (Qt's, MinGW's runtime), found
# by reading the imports at install time (windows-deploy.cmake), and the Qt
# plugins those Qt modules load at run time.

# The icon: drawn from the SVG at the sizes Windows asks for, gathered into
# one .ico, put into tarvelin-config.exe (Qt shows an executable's first icon
# on its windows) and used for the installer.
include(${CMAKE_CURRENT_LIST_DIR}/icon.cmake)
find_program(TARVELIN_ICOTOOL icotool)
set(TARVELIN_ICO "")
if(TARVELIN_RSVG_CONVERT AND TARVELIN_ICOTOOL)
  set(iconDir ${PROJECT_BINARY_DIR}/icon)
  set(TARVELIN_ICO ${iconDir}/tarvelin-config.ico)
  tarvelin_draw_icons(${iconDir} "16;32;48;256" pngs)
  # 256 pixels go in as PNG, the smaller sizes as bitmaps.
  add_custom_command(OUTPUT ${TARVELIN_ICO}
    COMMAND ${TARVELIN_ICOTOOL} -c -o ${TARVELIN_ICO} ${iconDir}/16.png ${iconDir}/32.png ${iconDir}/48.png
            -r ${iconDir}/256.png
    DEPENDS ${pngs} VERBATIM)
  add_custom_target(tarvelin_icon ALL DEPENDS ${TARVELIN_ICO})
  file(CONFIGURE OUTPUT ${iconDir}/tarvelin-config.rc
       CONTENT "IDI_ICON1 ICON \"${TARVELIN_ICO}\"\n")
  target_sources(tarvelin-config PRIVATE ${iconDir}/tarvelin-config.rc)
  add_dependencies(tarvelin-config tarvelin_icon)
else()
  message(WARNING "rsvg-convert (Debian: librsvg2-bin) or icotool (icoutils) not found: the programs and the "
                  "installer go without the icon")
endif()

# At install time: the DLLs the programs and plugins import, and the plugins.
get_target_property(qtCoreDll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT qtCoreDll)
  get_target_property(qtCoreDll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(qtBinDir ${qtCoreDll} DIRECTORY)
get_filename_component(qtPrefix ${qtBinDir} DIRECTORY)
# Where MinGW's own runtime DLLs are: beside the compiler's libstdc++, and the
# sysroot's lib (libwinpthread-1.dll).
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE stdcxxDll OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(compilerRuntimeDir ${stdcxxDll} DIRECTORY)
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libwinpthread-1.dll
                OUTPUT_VARIABLE pthreadDll OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(sysrootRuntimeDir ${pthreadDll} DIRECTORY)
if(NOT CMAKE_OBJDUMP OR NOT CMAKE_STRIP)
  message(FATAL_ERROR "the Windows package needs the toolchain's objdump and strip")
endif()

install(CODE "
  set(TARVELIN_DEPLOY_TARGET \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(TARVELIN_DEPLOY_PROGRAMS \"\${TARVELIN_DEPLOY_TARGET}/tarvelin-config.exe;\${TARVELIN_DEPLOY_TARGET}/tarvelin-cli.exe\")
  set(TARVELIN_DEPLOY_QT_PREFIX \"${qtPrefix}\")
  set(TARVELIN_DEPLOY_SEARCH \"${qtBinDir};${compilerRuntimeDir};${sysrootRuntimeDir}\")
  set(TARVELIN_DEPLOY_IMPORT_LIBS \"${sysrootRuntimeDir}\")
  set(TARVELIN_DEPLOY_OBJDUMP \"${CMAKE_OBJDUMP}\")
  set(TARVELIN_DEPLOY_STRIP \"${CMAKE_STRIP}\")
")
install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/windows-deploy.cmake)

set(CPACK_GENERATOR NSIS ZIP)
include(${CMAKE_CURRENT_LIST_DIR}/package-identity.cmake)
set(CPACK_PACKAGE_FILE_NAME tarvelin-configuration-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "Tarvelin Configuration")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "Tarvelin Configuration")
# The Start-menu entry: bin\tarvelin-config.exe as "Tarvelin Configuration".
set(CPACK_PACKAGE_EXECUTABLES tarvelin-config "Tarvelin Configuration")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "Tarvelin Configuration ${PROJECT_VERSION}")
set(CPACK_NSIS_PACKAGE_NAME "Tarvelin Configuration")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_INSTALLED_ICON_NAME "bin\\\\tarvelin-config.exe")
if(TARVELIN_ICO)
  set(CPACK_NSIS_MUI_ICON ${TARVELIN_ICO})
  set(CPACK_NSIS_MUI_UNIICON ${TARVELIN_ICO})
endif()
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A 64-bit installer for 64-bit programs (NSIS makes 32-bit ones unless told).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_STRIP_FILES ON)
include(CPack)
