# The Debian package: what `cmake --install` puts under the prefix, installed under /usr.
# Built with `cpack --config <build>/CPackConfig.cmake`; its dependencies come from
# dpkg-shlibdeps (package dpkg-dev), which reads the libraries the program links.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_CONTACT "Tarnwick maintainers <maintainers@tarnwick.org>")
set(CPACK_PACKAGE_DESCRIPTION
    "Tarnwick connects to a Usenet provider over NNTP, plain or TLS, keeps the spots (short
announcements of downloadable releases) in a local database and indexes their comments. The
spots are browsed by category or searched, and shown in tabs with their description, image,
files and signed comments; a spot's NZB is saved or handed to NZBGet or SABnzbd. The user
interface is Dutch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION news)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as a plugin, so invisible to dpkg-shlibdeps: Qt's SQLite driver, without which the
# program cannot open its databases.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6sql6-sqlite)
# Also loaded at run time: libsecret, through which QtKeychain reaches the desktop's secret
# store. Without it (or without a store) the passwords stay in the private settings file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libsecret-1-0)
include(CPack)
