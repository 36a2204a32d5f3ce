# The Debian package of an installation (CPack's DEB generator): everything the install
# rules put into the prefix, under /usr. `make package` builds it from the release build
# tree; the package tests build it from the tree they test, with the same settings.
#
# Its version is the project's version with the build number as the Debian revision
# (1.0.0-1); its dependencies are those dpkg-shlibdeps computes from the shared libraries,
# plus what the programs start or load at run time: Ghostscript (the converter), the SVG
# plug-ins of Qt (icons), shared-mime-info (finding a file's type) and, recommended,
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
set(CPACK_PACKAGE_DESCRIPTION
    "Vorrel shows Encapsulated PostScript (EPS) drawings at once, without opening an editor: \
vorrel-quicklook converts them with Ghostscript into PDF documents, or PNG images with a \
transparent background, and keeps the converted files by content; vorrel-thumbnailer gives \
file managers thumbnails of them. The Vorrel application sets it up as the default \
application for EPS files and holds its settings.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE "${VORREL_BUILD_NUMBER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quarnix.app/vorrel/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "ghostscript, libqt6svg6, shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

include(CPack)
