# Two Debian packages: dalvora (the program and its fleet tool) and dalvora-printer-sim (the simulator, for people who
# write tools or train operators). Dependencies come from the shared libraries the binaries link. Each
# description's first line is the synopsis (no package-wide summary: CPack would put it first too).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dalvora)
set(CPACK_PACKAGE_VENDOR VELMAR)
set(CPACK_PACKAGE_CONTACT "${DALVORA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL program simulator)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME dalvora)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION
    "configure, service and update thermal ticket printers
Dalvora reads the setup a thermal ticket printer describes itself, edits it and
writes back only what changed, saves and loads .tcfx archives, runs the
printer's service tools, reads its status and upgrades its firmware from .psw
and .pfw packages or .mod module files, over USB, Ethernet and serial lines.
It has a window and a command line that performs one operation per run.
dalvoractl previews, writes, verifies and backs up setups on many printers at
once, with an audit trail of every write.")

set(CPACK_DEBIAN_SIMULATOR_PACKAGE_NAME dalvora-printer-sim)
set(CPACK_DEBIAN_SIMULATOR_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_SIMULATOR_DESCRIPTION
    "simulated thermal ticket printer for Dalvora
dalvora-printer-sim plays a thermal ticket printer on TCP, a pty serial line,
an emulated USB device (umockdev) and UDP discovery, from a JSON profile,
with fault injection and a transcript of every exchange. It is meant for
people who write tools around Dalvora and for training operators without
real printers.")

include(CPack)
