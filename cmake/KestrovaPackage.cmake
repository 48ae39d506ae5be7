# The Debian package, built from the GNU layout by CPack (scripts/package).
# Its dependencies come from the binaries through dpkg-shlibdeps, its version
# from the project; the maintainer scripts let systemd know of the helper's
# units but never enable them.
set(debian_staging ${CMAKE_BINARY_DIR}/debian)

# What Debian policy wants in every package's documentation folder.
configure_file(${CMAKE_SOURCE_DIR}/packaging/debian/changelog.in ${debian_staging}/changelog @ONLY)
add_custom_command(OUTPUT ${debian_staging}/changelog.gz
                   COMMAND gzip -9nc ${debian_staging}/changelog > ${debian_staging}/changelog.gz
                   DEPENDS ${debian_staging}/changelog
                   COMMENT "Compressing the package changelog")
add_custom_target(kestrova_package_changelog ALL DEPENDS ${debian_staging}/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/debian/copyright ${debian_staging}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Everything the package holds, so scripts/package builds no test.
add_custom_target(kestrova_package_files)
add_dependencies(kestrova_package_files kestrova-cli KestrovaHelper kestrova_manual_pages kestrova_package_changelog)
if(TARGET kestrova)
  add_dependencies(kestrova_package_files kestrova)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrova)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tolvanek)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio plug-in inventory and reversible quarantine")
# CPack puts the summary on the Description line and this text below it.
file(READ ${CMAKE_SOURCE_DIR}/packaging/debian/description CPACK_DEBIAN_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGE_CONTACT "Kestrova developers <kestrova@tolvanek.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://tolvanek.com/kestrova")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Enabling the helper as a user goes through pkexec.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkexec")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/debian/postinst
                                       ${CMAKE_SOURCE_DIR}/packaging/debian/prerm
                                       ${CMAKE_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The units go to systemd's folder outside the prefix, so the files are
# staged with DESTDIR under their final absolute paths.
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                                WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
include(CPack)
