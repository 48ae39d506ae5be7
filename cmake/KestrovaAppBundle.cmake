# The application bundle layout, in the build tree and on install:
#   Kestrova.app/Contents/Info.plist
#   Kestrova.app/Contents/MacOS/            front ends and KestrovaHelper
#   Kestrova.app/Contents/Library/LaunchDaemons/com.tolvanek.Kestrova.helper.plist
#   Kestrova.app/Contents/Library/systemd/  the units a Linux installation links
#   Kestrova.app/Contents/Library/polkit/   the polkit action installed beside them
# The readiness checks look for these pieces, so a missing one shows there.

set(KESTROVA_APP_BUNDLE_DIR ${CMAKE_BINARY_DIR}/Kestrova.app CACHE INTERNAL "")
set(KESTROVA_FRONT_END_TARGETS "kestrova-cli;kestrova" CACHE INTERNAL "Front-end targets placed in the app bundle")

function(kestrova_configure_bundle_files helper_source_dir bundle_dir helper_executable output_dir)
  configure_file(${helper_source_dir}/bundle/Info.plist.in ${output_dir}/Contents/Info.plist @ONLY)
  configure_file(${helper_source_dir}/bundle/com.tolvanek.Kestrova.helper.plist
                 ${output_dir}/Contents/Library/LaunchDaemons/com.tolvanek.Kestrova.helper.plist COPYONLY)
  set(KESTROVA_HELPER_EXECUTABLE ${helper_executable})
  # The daemon accepts the front ends beside it in Contents/MacOS.
  set(KESTROVA_HELPER_ARGUMENTS "")
  set(KESTROVA_HELPER_DOCUMENTATION file://${bundle_dir}/Contents/Resources/helper-protocol.md)
  configure_file(${helper_source_dir}/systemd/kestrova-helper.service.in
                 ${output_dir}/Contents/Library/systemd/kestrova-helper.service @ONLY)
  configure_file(${helper_source_dir}/systemd/kestrova-helper.socket
                 ${output_dir}/Contents/Library/systemd/kestrova-helper.socket COPYONLY)
  set(KESTROVA_CLI_EXECUTABLE ${bundle_dir}/Contents/MacOS/kestrova-cli)
  configure_file(${helper_source_dir}/polkit/com.tolvanek.Kestrova.policy.in
                 ${output_dir}/Contents/Library/polkit/com.tolvanek.Kestrova.policy @ONLY)
endfunction()

# Runs once every folder is read, so front ends defined after src/helper
# (the CLI, the Qt app) can be copied in.
function(kestrova_bundle_front_ends)
  set(outputs)
  foreach(target ${KESTROVA_FRONT_END_TARGETS})
    if(TARGET ${target})
      get_target_property(name ${target} OUTPUT_NAME)
      if(NOT name)
        set(name ${target})
      endif()
      set(output ${KESTROVA_APP_BUNDLE_DIR}/Contents/MacOS/${name})
      add_custom_command(OUTPUT ${output}
                         COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${target}> ${output}
                         DEPENDS ${target}
                         COMMENT "Placing ${name} in Kestrova.app")
      list(APPEND outputs ${output})
      if(KESTROVA_INSTALL_LAYOUT STREQUAL "app-bundle")
        install(TARGETS ${target} RUNTIME DESTINATION Kestrova.app/Contents/MacOS)
      endif()
    endif()
  endforeach()
  add_custom_target(kestrova_app_bundle ALL DEPENDS ${outputs} KestrovaHelper)
  # Tests and benchmarks that start the real daemon need only it, not every
  # front end.
  foreach(consumer helper_tests store_tests bench_helper)
    if(TARGET ${consumer})
      add_dependencies(${consumer} KestrovaHelper)
    endif()
  endforeach()
  foreach(consumer cli_tests ui_tests)
    if(TARGET ${consumer})
      add_dependencies(${consumer} kestrova_app_bundle)
    endif()
  endforeach()
endfunction()
