# The Debian package: `cpack -G DEB` in a Release build configured with
# -DCMAKE_INSTALL_PREFIX=/usr (./package does both).

set(KELVANE_PACKAGE_MAINTAINER "The Kelvane developers <kelvane@users.noreply.github.com>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

# The package's changelog names its version: a release that forgets it fails here, not on a user.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/changelog kelvane_changelog_top LIMIT_COUNT 1)
if(NOT kelvane_changelog_top MATCHES "^kelvane \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog starts with \"${kelvane_changelog_top}\"; "
        "add an entry for ${PROJECT_VERSION}")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Kelvane developers")
set(CPACK_PACKAGE_CONTACT "${KELVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/kelvane/kelvane")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer and command-line tool for ANSI X12 EDI files")
# Wrapped for 80-column terminals: each line goes into the control file as it is.
set(CPACK_PACKAGE_DESCRIPTION [=[
Kelvane opens ANSI ASC X12 EDI files: health-care claims (837), claim
payments (835), enrolment (834), eligibility (270/271), claim status
(276/277), service reviews (278), premium payments (820), acknowledgments
(997/999), supply-chain sets such as 850, 856 and 810, and any other
transaction set. It detects the delimiters, cuts the file into segments and
elements, and shows the tree of interchanges, functional groups, transaction
sets and loops with the names of every set, segment and element.

The window has an outline with an inspector, a searchable segment list and
the raw text. On the command line, kelvane prints the tree or the whole parse
as JSON, checks the envelopes' control numbers and counts, and writes a PDF
report. It never changes the files it reads.]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Then, as dh_strip does, the sections a stripped program still carries for nobody.
set(CPACK_KELVANE_STRIP "${CMAKE_STRIP}")
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripSections.cmake)
# Only the files: the rule that refreshes the desktop's caches (component desktop-caches) is for
# `cmake --install`; a package leaves that to the dpkg triggers of shared-mime-info and
# desktop-file-utils, and must not ship the caches.
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt finds the system fonts through fontconfig; these two hold the glyphs the views and the report
# draw, control pictures among them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-freefont-ttf")
if(KELVANE_BUILD_PYTHON)
    # The module loads in the Python it was built for only; the Dask example wants Dask.
    math(EXPR kelvane_python_next "${Python3_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), \
python3 (<< ${Python3_VERSION_MAJOR}.${kelvane_python_next}), python3-distributed")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
