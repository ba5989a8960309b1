# `cpack -G DEB` in a build folder makes dosetta_<version>_<arch>.deb from the install rules:
# the program, the simulator, the help collection, the window's translations, the desktop entry,
# the icon and the manual pages, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dosetta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Halvo Dorvex")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "remote control for FLUXO dosing pumps on a serial line")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "DOSETTA developers <dosetta@halvo-dorvex.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The long description only: CPack puts the summary above it as the synopsis, indents each line
# and turns an empty line into Debian's " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "DOSETTA runs a FLUXO 10 or FLUXO 02 laboratory diaphragm dosing pump from one
window over a serial line at 9600 baud: flow rate or volume dosing, set-point,
dispense time, start, stop, pause and prime; it polls the pump continuously
and shows the elapsed time, the volume delivered, status and error flags and
the state of the link, and it diagnoses the link with a traffic log.

dosetta-cli drives the pump from scripts, publishes it on an MQTT broker, and
serves it to lab orchestrators as a SiLA 2 server (gRPC, TLS, announced by
multicast DNS).

The package also holds fluxo-sim, a simulated pump on a pseudo-terminal.")
# Qt and the C++ runtime as dpkg-shlibdeps finds them; the look needs the Arial-compatible fonts,
# the journal Qt SQL's SQLite driver, a plugin no library links; the German window Qt's own
# translations, for its dialogs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, libqt5sql5-sqlite, qttranslations5-l10n")
# The SiLA server announces itself through the Avahi daemon and runs without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "avahi-daemon")
include(CPack)
