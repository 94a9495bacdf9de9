# The Debian package (cpack -G DEB, or scripts/package): what cmake --install
# puts under /usr, with the runtime libraries found by dpkg-shlibdeps.
include(GNUInstallDirs)
set(PRESSORY_PACKAGING ${PROJECT_SOURCE_DIR}/packaging/linux)

# What a Debian package carries beside the program: the AppStream metainfo for
# software centres, the manual pages (English and Japanese; Pressory.1 links
# to pressory.1 for the upper-case command), the copyright file and the
# changelog, compressed as Debian wants them (gzip -9n: no name, no time).
install(FILES ${PRESSORY_PACKAGING}/org.example.Pressory.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(PRESSORY_GZ_DIR ${CMAKE_CURRENT_BINARY_DIR}/packaging)
set(PRESSORY_GZ_FILES)
foreach(pair IN ITEMS "man/pressory.1;man/man1/pressory.1.gz" "man/pressory.ja.1;man/ja/man1/pressory.1.gz"
                      "changelog;doc/changelog.gz")
  list(GET pair 0 source)
  list(GET pair 1 target)
  get_filename_component(target_dir ${PRESSORY_GZ_DIR}/${target} DIRECTORY)
  add_custom_command(OUTPUT ${PRESSORY_GZ_DIR}/${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${target_dir}
    COMMAND gzip -9n -c ${PRESSORY_PACKAGING}/${source} > ${PRESSORY_GZ_DIR}/${target}
    DEPENDS ${PRESSORY_PACKAGING}/${source}
    VERBATIM)
  list(APPEND PRESSORY_GZ_FILES ${PRESSORY_GZ_DIR}/${target})
endforeach()
add_custom_target(pressory_package_files ALL DEPENDS ${PRESSORY_GZ_FILES})
install(FILES ${PRESSORY_GZ_DIR}/man/man1/pressory.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PRESSORY_GZ_DIR}/man/ja/man1/pressory.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ja/man1)
install(CODE "
  foreach(dir man1 ja/man1)
    set(page \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_MANDIR}/\${dir}\")
    message(STATUS \"Installing: \${page}/Pressory.1.gz -> pressory.1.gz\")
    file(CREATE_LINK pressory.1.gz \"\${page}/Pressory.1.gz\" SYMBOLIC)
  endforeach()
")
install(FILES ${PRESSORY_GZ_DIR}/doc/changelog.gz ${PRESSORY_PACKAGING}/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pressory)

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
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Pressory developers <pressory@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# dpkg-shlibdeps finds libsqlite3-0 from the symbols; the activity database's
# upserts (INSERT ... ON CONFLICT DO UPDATE) need SQLite 3.24 or later.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsqlite3-0 (>= 3.24)")
# The Japanese texts need a Japanese font; any will do. The readme and links
# open in the desktop's browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic | fonts-vlgothic, xdg-utils, qt6-translations-l10n")
include(CPack)
