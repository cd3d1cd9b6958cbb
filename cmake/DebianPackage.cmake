# The Debian package that `make package` builds from the install rules: the programs in
# /usr/libexec/dravik with links in /usr/bin, the companion's autostart entry in /etc/xdg/autostart,
# the desktop entry, the software centre's metadata, the icons, the manual pages, the shell
# completion and the copyright and changelog in /usr/share.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dravik")
set(CPACK_PACKAGE_CONTACT "Dravik developers <developers@dravik.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-pane file transfer client for FTP, FTPS and SFTP")
# Lines of the extended description stay within 80 columns for dpkg and apt on a terminal.
set(CPACK_PACKAGE_DESCRIPTION "Dravik moves files and folders between this computer and FTP, FTPS and
SFTP servers in one two-pane window. Its transfer queue plans recursive
transfers, asks before it overwrites, retries, resumes interrupted downloads
and survives a restart. Remote files can be edited in any local application
and folders compared with their copy on the server.
.
SFTP host keys are pinned, passwords are kept in the Secret Service, and all
network work is done by the system's curl and ssh. dravik-cli offers the same
engine for scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://dravik.app/)
# The first packaging of each upstream version; Debian's tools then read the package as one of an
# upstream program, whose changelog is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The install rules read the prefix at install time (the autostart entry goes to /etc/xdg only for a
# /usr installation), so the package is staged with DESTDIR and the real prefix, whatever prefix
# the build was configured with.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# The Qt, QtKeychain and C++ libraries come from dpkg-shlibdeps. The rest the programs run or load
# by name: curl and ssh for every transfer, Qt's platform plugins to open a window, and the icon
# theme the interface falls back to.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "curl, openssh-client, qt6-qpa-plugins, adwaita-icon-theme")
# The icon is an SVG only: GTK and Qt draw it through these.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnome-keyring | keepassxc, qt6-translations-l10n, librsvg2-common, libqt6svg6")

# Everything under /etc is configuration the administrator may edit; dpkg keeps such edits.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/xdg/autostart/app.dravik.application.DockTile.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)

# The copyright file and the changelog every Debian package carries. The changelog's entry is the
# software centre's release of this version, so a new version needs its release written first.
include(GNUInstallDirs)
file(READ ${PROJECT_SOURCE_DIR}/data/app.dravik.application.metainfo.xml metainfo)
if(NOT metainfo MATCHES "<release version=\"${PROJECT_VERSION}\" date=\"([0-9-]+)\"")
  message(FATAL_ERROR "data/app.dravik.application.metainfo.xml has no release ${PROJECT_VERSION} with a date")
endif()
execute_process(COMMAND date -u -R -d ${CMAKE_MATCH_1} OUTPUT_VARIABLE release_date OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
file(WRITE ${CMAKE_BINARY_DIR}/debian/changelog.Debian "\
dravik (${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  ${release_date}
")
execute_process(COMMAND gzip -9nc ${CMAKE_BINARY_DIR}/debian/changelog.Debian
  OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dravik)

include(CPack)
