# Install rules and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS skarnet2 skarnet2-tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(SKARNET2_PACKAGING_DIR "${PROJECT_SOURCE_DIR}/packaging")
install(FILES "${SKARNET2_PACKAGING_DIR}/org.velmora.Skarnet2.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${SKARNET2_PACKAGING_DIR}/org.velmora.Skarnet2.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES "${SKARNET2_PACKAGING_DIR}/org.velmora.Skarnet2.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES "${SKARNET2_PACKAGING_DIR}/bash-completion/skarnet2"
              "${SKARNET2_PACKAGING_DIR}/bash-completion/skarnet2-tool"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "skarnet2")
# The program's own version, from the one header both programs print it from: "2.09 (20230531)"
# becomes the package version 2.09+20230531.
file(STRINGS "${PROJECT_SOURCE_DIR}/src/version/program_version.h" SKARNET2_VERSION_LINE
     REGEX "kText = ")
string(REGEX REPLACE ".*\"([0-9.]+) \\(([0-9]+)\\)\".*" "\\1+\\2" SKARNET2_PACKAGE_VERSION
       "${SKARNET2_VERSION_LINE}")
set(CPACK_PACKAGE_VERSION "${SKARNET2_PACKAGE_VERSION}")
set(CPACK_PACKAGE_VENDOR "Velmora")
set(CPACK_PACKAGE_CONTACT "Skarnet2 team <skarnet2@velmora.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GNSS receiver monitor and survey tool")
set(CPACK_PACKAGE_DESCRIPTION
    "Skarnet2 connects to a GNSS receiver on a serial port, over TCP or through a relay server
and shows it live (sky map, signal bars, position plot, web map, raw messages), records and
replays logs with accuracy statistics and fetches NTRIP corrections. skarnet2-tool is its
command-line companion.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME "skarnet2")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Skarnet2 team <skarnet2@velmora.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION "science")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum")

find_program(SKARNET2_DPKG dpkg)
if(SKARNET2_DPKG)
  execute_process(COMMAND "${SKARNET2_DPKG}" --print-architecture
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()

# dpkg-shlibdeps (dpkg-dev) derives exact library versions; without it, name the Qt runtime
# packages we link by hand, plus the web engine's helper process (-bin), which the web map
# runs. Leaflet is compiled into the resources, so no libjs-leaflet.
find_program(SKARNET2_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(SKARNET2_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libqt6core6, libqt6gui6, libqt6widgets6, libqt6network6, libqt6serialport6, \
libqt6webenginewidgets6, libqt6webenginecore6, libqt6webenginecore6-bin, libqt6dbus6, libudev1")
endif()

include(CPack)
