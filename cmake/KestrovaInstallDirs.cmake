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

# Relative to the prefix, where bash-completion looks under /usr and
# /usr/local alike; an absolute path taken at the first configure would stay
# in the cache when the package build sets the prefix to /usr.
set(KESTROVA_BASH_COMPLETION_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
    CACHE PATH "Where bash completions are installed, relative to the prefix")

# The desktop's name for the application: the desktop entry, the AppStream
# component and the icon share it.
set(KESTROVA_APP_ID com.tolvanek.Kestrova)
