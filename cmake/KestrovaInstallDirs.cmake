# Where a GNU-layout installation puts what the system looks for. The front
# ends find the daemon and its units from these at run time, so they are
# compiled into the helper client.
# Documentation goes where distributions look for the package's own.
set(CMAKE_INSTALL_DOCDIR share/doc/kestrova CACHE PATH "Documentation (DATAROOTDIR/doc/kestrova)")
include(GNUInstallDirs)

pkg_get_variable(systemd_unit_dir systemd systemdsystemunitdir)
if(NOT systemd_unit_dir)
  set(systemd_unit_dir ${CMAKE_INSTALL_PREFIX}/lib/systemd/system)
endif()
set(KESTROVA_SYSTEMD_UNIT_DIR ${systemd_unit_dir} CACHE PATH "Where the helper's systemd units are installed")

pkg_get_variable(bash_completion_dir bash-completion completionsdir)
if(NOT bash_completion_dir)
  set(bash_completion_dir ${CMAKE_INSTALL_FULL_DATADIR}/bash-completion/completions)
endif()
set(KESTROVA_BASH_COMPLETION_DIR ${bash_completion_dir} CACHE PATH "Where bash completions are installed")

# The desktop's name for the application: the desktop entry, the AppStream
# component and the icon share it.
set(KESTROVA_APP_ID com.tolvanek.Kestrova)
