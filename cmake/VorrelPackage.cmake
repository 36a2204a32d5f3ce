# The Debian package of an installation (CPack's DEB generator): everything the install
# rules put into the prefix, under /usr. `make package` builds it from the release build
# tree; the package tests build it from the tree they test, with the same settings.
#
# Its version is the project's version with the build number as the Debian revision
# (1.0.0-1); its dependencies are those dpkg-shlibdeps computes from the shared libraries,
# plus what the programs start or load at run time: Ghostscript (the converter), the SVG
# plug-ins of Qt (icons), libcrypto (digests), shared-mime-info (finding a file's type) and, recommended,
# xdg-utils (the set-up link that makes Vorrel Quick Look the default application).

# The converter link is made at install time to the Ghostscript this build found; in a
# package it must be the one the ghostscript package provides.
if(NOT VORREL_GHOSTSCRIPT STREQUAL "/usr/bin/gs")
    message(WARNING "The converter link points at ${VORREL_GHOSTSCRIPT}; a Debian package of this "
                    "build needs /usr/bin/gs, where the ghostscript package puts it.")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorrel)
set(CPACK_PACKAGE_VENDOR Quarnix)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Quarnix <support@quarnix.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quick look at EPS files from the file manager")
# The long description in lines of under 80 characters, as Debian's control files want it
# (CPack puts the summary above it and indents its lines).
set(CPACK_PACKAGE_DESCRIPTION "Vorrel shows Encapsulated PostScript (EPS) drawings at once, without
opening an editor: vorrel-quicklook converts them with Ghostscript into PDF
documents, or PNG images with a transparent background, and keeps the
converted files by content; vorrel-thumbnailer gives file managers
thumbnails of them. The Vorrel application sets it up as the default
application for EPS files and holds its settings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE "${VORREL_BUILD_NUMBER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quarnix.app/vorrel/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libssl3: libcrypto, which the programs load when they first make a digest (platform/Sha256.cpp).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ghostscript, libqt6svg6, libssl3, shared-mime-info")
# qt6-wayland: the windows are native on Wayland sessions instead of going through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-wayland")

# Debian's documentation of the package: the machine-readable copyright and the changelog,
# compressed as dpkg wants it (gzip -9n: the same bytes every build).
set(_doc "${PROJECT_BINARY_DIR}/package-doc")
configure_file("${PROJECT_SOURCE_DIR}/resources/package/changelog.Debian.in"
               "${_doc}/changelog.Debian" @ONLY)
add_custom_command(OUTPUT "${_doc}/changelog.Debian.gz"
    COMMAND gzip -9nkf "${_doc}/changelog.Debian"
    DEPENDS "${_doc}/changelog.Debian"
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS "${_doc}/changelog.Debian.gz")
install(FILES "${PROJECT_SOURCE_DIR}/resources/package/copyright" "${_doc}/changelog.Debian.gz"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/vorrel")
install(FILES "${PROJECT_SOURCE_DIR}/resources/package/lintian-overrides"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/lintian/overrides" RENAME vorrel)

# CPack's DEB generator takes the plug-in folder for a library folder and would add ldconfig
# calls to the maintainer scripts; its file-type probe is given our plug-ins' true kind.
configure_file("${PROJECT_SOURCE_DIR}/cmake/VorrelCPackOptions.cmake.in"
               "${PROJECT_BINARY_DIR}/VorrelCPackOptions.cmake" @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/VorrelCPackOptions.cmake")

include(CPack)
