# The Debian package that `make package` builds from the install rules: the programs in
# /usr/libexec/dravik with links in /usr/bin, the companion's autostart entry in /etc/xdg/autostart,
# the desktop entry and the icons in /usr/share.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dravik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dravik")
set(CPACK_PACKAGE_CONTACT "Dravik developers <developers@dravik.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "two-pane file transfer client for FTP, FTPS and SFTP")
set(CPACK_PACKAGE_DESCRIPTION "Dravik moves files and folders between this computer and FTP, \
FTPS and SFTP servers through a transfer queue that plans recursive transfers, asks before it \
overwrites, retries and resumes. dravik-cli offers the same engine for scripts.")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
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

include(CPack)
