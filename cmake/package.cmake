# The Debian package (cpack -G DEB, or scripts/package): what cmake --install
# puts under /usr, with the runtime libraries found by dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME pressory)
set(CPACK_PACKAGE_VENDOR "${PRESSORY_COMPANY_NAME}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "counts how often each key and mouse button is pressed")
set(CPACK_PACKAGE_DESCRIPTION
    "Pressory counts the presses of every key and mouse button, in any application,\n"
    "and shows them on a drawing of a Japanese keyboard. Each working period is\n"
    "appended to a history file in ~/.local/share/Pressory.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${PRESSORY_COMPANY_NAME}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Japanese texts need a Japanese font; any will do.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic")
include(CPack)
