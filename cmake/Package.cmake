# Installing the viewer as a Linux program (cmake --install) and its Debian package (cpack, see
# tools/make-package.sh): the program, its menu entry, icons, AppStream metadata, manual page, copyright and
# changelog. The skins and the window icon are compiled into the program; Qt's Japanese texts come from
# Debian's qt6-translations-l10n, recommended by the package.
include(GNUInstallDirs)

set(NX_APP_ID org.nxviewer.NxViewer)
set(NX_DOCS_URL "https://nxviewer.example/docs" CACHE STRING
    "Web address of the docs/ folder, where the AppStream screenshots are published")
set(NX_PACKAGE_MAINTAINER "The NX-QB740LE viewer developers <nxviewer@example.org>" CACHE STRING
    "The Debian package's maintainer")
set(dist ${PROJECT_SOURCE_DIR}/dist)
set(dist_out ${PROJECT_BINARY_DIR}/dist)

configure_file(${dist}/${NX_APP_ID}.metainfo.xml.in ${dist_out}/${NX_APP_ID}.metainfo.xml @ONLY)
# Debian wants the manual page and the changelog compressed at the highest level, without a time stamp.
foreach(file nxviewer.1 changelog)
  add_custom_command(OUTPUT ${dist_out}/${file}.gz
    COMMAND gzip -9n -c ${dist}/${file} > ${dist_out}/${file}.gz
    DEPENDS ${dist}/${file} VERBATIM)
  list(APPEND dist_compressed ${dist_out}/${file}.gz)
endforeach()
add_custom_target(nx_dist ALL DEPENDS ${dist_compressed})

install(TARGETS nxviewer RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${dist}/${NX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${dist_out}/${NX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${dist}/icons/${NX_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${dist}/icons/${size}x${size}/${NX_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${dist_out}/nxviewer.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${dist}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nxviewer)
install(FILES ${dist_out}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nxviewer
        RENAME changelog.Debian.gz)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nxviewer)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and measuring tool for a USB microscope camera")
# The synopsis is the summary above; these lines are the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Shows the live picture of the NX-QB740LE 2048 x 1536 USB microscope
camera or of any video-class (UVC) camera and tunes it, measures lengths,
areas, circles, perpendiculars and angles in calibrated units, saves stills
with their scale, records video and browses the saved pictures, in English
or Japanese.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NX_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
