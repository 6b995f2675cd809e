# What the Debian package (packaging.cmake) and the Windows package
# (windows-package.cmake) say alike about themselves.
set(CPACK_PACKAGE_NAME tarvelin-configuration)
set(CPACK_PACKAGE_VENDOR "Tarvelin Systems")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Read, edit and write the Ethernet settings of a Korvex-PLC")
