# Installing the application where a Linux desktop finds it: the program in bin/, its desktop entry
# in share/applications and its icon in the hicolor theme (one PNG per size, drawn from the brand
# mark at build time). `cpack -G DEB` in the build folder packs the same files into a .deb.
include(GNUInstallDirs)

set(nimbrel_icon_sizes 16 22 24 32 48 64 128 256 512)
set(nimbrel_icon_dir ${CMAKE_BINARY_DIR}/icons)
set(nimbrel_icon_files "")
foreach(side ${nimbrel_icon_sizes})
  list(APPEND nimbrel_icon_files ${nimbrel_icon_dir}/${side}.png)
endforeach()

add_executable(nimbrel-icongen ${PROJECT_SOURCE_DIR}/resources/desktop/icongen.cpp)
target_compile_options(nimbrel-icongen PRIVATE ${NIMBREL_WARNINGS})
target_link_libraries(nimbrel-icongen PRIVATE nimbrel_theme)
add_custom_command(
  OUTPUT ${nimbrel_icon_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${nimbrel_icon_dir}
  COMMAND nimbrel-icongen ${nimbrel_icon_dir} ${nimbrel_icon_sizes}
  DEPENDS nimbrel-icongen
  COMMENT "Drawing the application icon")
add_custom_target(nimbrel-icons ALL DEPENDS ${nimbrel_icon_files})

install(TARGETS nimbrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/nimbrel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(side ${nimbrel_icon_sizes})
  install(FILES ${nimbrel_icon_dir}/${side}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${side}x${side}/apps
          RENAME nimbrel.png)
endforeach()

# What a Debian package documents: the copyright of Nimbrel and of the fonts it embeds (their
# licences ask for their texts to travel with it) and the changelog, compressed as Debian wants.
set(nimbrel_changelog_gz ${CMAKE_BINARY_DIR}/package/changelog.gz)
add_custom_command(
  OUTPUT ${nimbrel_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/package
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/package/changelog > ${nimbrel_changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/package/changelog
  COMMENT "Compressing the changelog")
add_custom_target(nimbrel-changelog ALL DEPENDS ${nimbrel_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright ${nimbrel_changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/nimbrel)

# The installed tree passes desktop-file-validate and its icon is found by name.
add_test(NAME desktop_install
         COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DPREFIX=${CMAKE_BINARY_DIR}/desktop-install-test -P ${PROJECT_SOURCE_DIR}/cmake/CheckInstall.cmake)

set(CPACK_PACKAGE_NAME nimbrel)
set(CPACK_PACKAGE_VENDOR "Nimbrel")
set(CPACK_PACKAGE_CONTACT "Nimbrel developers <maintainers@users.noreply.c-seed-1b00f7a7.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "See where disk space goes and remove what you choose, safely")
# The summary is the synopsis; CPack indents these lines itself and turns the empty one into " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Nimbrel scans a folder or a whole disk and shows where the space goes: the
Space explorer lays out folders by size, the Files shelves list the biggest
files, the ones not opened for a long time and identical copies, and Deep
Clean finds caches and build output that can be made again.

Everything chosen is reviewed in one sheet before it is moved to the Trash or
deleted for good, and a safety guard refuses system folders and the main
folders of the home.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY nimbrel)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Run-time libraries (Qt, GLib, OpenSSL) are found by dpkg-shlibdeps from the binary; the fonts are
# compiled in; the Trash and the file manager need nothing more.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_STRIP_FILES ON)
include(CPack)
