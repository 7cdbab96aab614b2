# The Debian package: "cpack -G DEB" in the build folder. Its dependencies
# are worked out from the programs' libraries by dpkg-shlibdeps; what they
# load at run time is named by hand.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ciphra2k)
set(CPACK_PACKAGE_VENDOR Tavik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Ciphra2k maintainers <maintainers@ciphra2k.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "file encryption with a small file browser")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://ciphra2k.example)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so not found by dpkg-shlibdeps: Qt's SVG plugins draw
# the toolbar's glyphs and the About picture. xdg-open opens a listed file
# with its program; the stub of self-decrypting programs shows its window
# through libX11 when there is one (and asks on the terminal otherwise);
# Wayland sessions need Qt's Wayland plugin (X11 sessions have theirs in
# libqt6gui6).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libx11-6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qt6-wayland")
# The long description under the summary line; CPack indents it for dpkg.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ciphra2k encrypts files for one user. Its main window is a small file
browser: on the selected files it encrypts with Twofish (beside the file,
in place, or as a self-decrypting program), decrypts, shreds, shows the
SHA-1 digest and views. ciphra2k-cli gives scripts the same operations.

Outputs appear only when complete. Self-decrypting programs restore their
file on any Linux machine, without Ciphra2k installed.")

include(CPack)
