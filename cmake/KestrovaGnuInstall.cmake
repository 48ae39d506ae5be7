# The GNU layout a Linux system expects:
#   bin/kestrova, bin/kestrova-cli          the front ends
#   libexec/kestrova/KestrovaHelper         the daemon, started by systemd only
#   <systemd unit dir>/kestrova-helper.*    its units, which the package leaves disabled
#   share/polkit-1/actions/                 the action that enabling the helper asks for
#   share/applications, share/metainfo, share/icons/hicolor, share/man/man1,
#   bash completion, share/doc/kestrova
# The front ends recognise this layout at run time (see ApplicationBundle.cpp).
set(gnu_staging ${CMAKE_BINARY_DIR}/gnu-install)
set(helper_source_dir ${CMAKE_SOURCE_DIR}/src/helper)
set(linux_source_dir ${CMAKE_SOURCE_DIR}/packaging/linux)

install(TARGETS kestrova-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS KestrovaHelper RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kestrova)

# The daemon admits exactly the installed front ends, named in its unit.
set(KESTROVA_HELPER_EXECUTABLE ${CMAKE_INSTALL_FULL_LIBEXECDIR}/kestrova/KestrovaHelper)
set(KESTROVA_HELPER_ARGUMENTS " --allow-client ${CMAKE_INSTALL_FULL_BINDIR}/kestrova-cli")
if(TARGET kestrova)
  install(TARGETS kestrova RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  string(APPEND KESTROVA_HELPER_ARGUMENTS " --allow-client ${CMAKE_INSTALL_FULL_BINDIR}/kestrova")
endif()
set(KESTROVA_HELPER_DOCUMENTATION "man:kestrova-cli(1) file://${CMAKE_INSTALL_FULL_DOCDIR}/helper-protocol.md")
set(KESTROVA_CLI_EXECUTABLE ${CMAKE_INSTALL_FULL_BINDIR}/kestrova-cli)
configure_file(${helper_source_dir}/systemd/kestrova-helper.service.in ${gnu_staging}/kestrova-helper.service @ONLY)
configure_file(${helper_source_dir}/polkit/com.tolvanek.Kestrova.policy.in ${gnu_staging}/com.tolvanek.Kestrova.policy
               @ONLY)
install(FILES ${gnu_staging}/kestrova-helper.service ${helper_source_dir}/systemd/kestrova-helper.socket
        DESTINATION ${KESTROVA_SYSTEMD_UNIT_DIR})
install(FILES ${gnu_staging}/com.tolvanek.Kestrova.policy DESTINATION ${CMAKE_INSTALL_DATADIR}/polkit-1/actions)

# Desktop integration. The icon is the app mark; its PNGs were rendered from
# the SVG with `rsvg-convert -w N -h N`.
set(KESTROVA_VERSION ${PROJECT_VERSION})
configure_file(${linux_source_dir}/${KESTROVA_APP_ID}.metainfo.xml.in ${gnu_staging}/${KESTROVA_APP_ID}.metainfo.xml
               @ONLY)
if(TARGET kestrova)
  install(FILES ${linux_source_dir}/${KESTROVA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${gnu_staging}/${KESTROVA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${linux_source_dir}/icons/${KESTROVA_APP_ID}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 16 32 48 64 128 256)
    install(FILES ${linux_source_dir}/icons/${size}/${KESTROVA_APP_ID}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
endif()

# Manual pages, compressed as distributions ship them (gzip -n: no name or
# time inside, so the package is reproducible).
set(man_pages kestrova-cli.1)
if(TARGET kestrova)
  list(APPEND man_pages kestrova.1)
endif()
set(compressed_pages)
foreach(page ${man_pages})
  set(compressed ${gnu_staging}/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
                     COMMAND gzip -9nc ${linux_source_dir}/${page} > ${compressed}
                     DEPENDS ${linux_source_dir}/${page}
                     COMMENT "Compressing ${page}")
  list(APPEND compressed_pages ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(kestrova_manual_pages ALL DEPENDS ${compressed_pages})

install(FILES ${linux_source_dir}/kestrova-cli.bash-completion DESTINATION ${KESTROVA_BASH_COMPLETION_DIR}
        RENAME kestrova-cli)
install(FILES ${CMAKE_SOURCE_DIR}/docs/helper-protocol.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
