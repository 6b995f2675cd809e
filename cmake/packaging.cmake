# The Debian package, made by CPack from a configured and built tree:
#   cpack --config build/release/CPackConfig.cmake -B build/package
# (scripts/package). dpkg-shlibdeps finds the dependencies; the programs are
# stripped and their debug symbols go into a -dbgsym package of their own.

set(CPACK_GENERATOR DEB)
include(${CMAKE_CURRENT_LIST_DIR}/package-identity.cmake)
# The long description as it shows in the package (lines under 80 characters).
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvelin Configuration reads, edits and writes the network and server
settings of a Korvex-PLC over an RS-232 line (usually a USB-RS232 adapter),
using the controller's ASCII host-link protocol: IP address, gateway,
servers and ports, password protection, trusted addresses and the
calibration of the analog inputs and outputs.

The package holds the window program tarvelin-config, the command-line twin
tarvelin-cli for provisioning many controllers from one profile, and
korvex-sim, a simulated controller on a pseudo-terminal for trying both
without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TARVELIN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${TARVELIN_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Tab completion of tarvelin-cli needs bash-completion, which a minimal system lacks.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
# CPack of CMake 3.25 leaves two faults in the debug symbol package, which the
# script mends once both packages are made.
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/mend-dbgsym.cmake)

include(CPack)
