# One static library per source folder. A library sees only its own headers and
# those of the libraries it names in DEPENDS, so a dependency that points the
# wrong way fails to compile instead of creeping in.
function(kestrova_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual
                                           # GCC 12 reports std::string copies falsely (bug 105329).
                                           -Wno-restrict -Wno-stringop-overflow)
  if(KESTROVA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# kestrova_library(NAME name DEPENDS kestrova_x ... LINKS external targets)
function(kestrova_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPENDS;LINKS" ${ARGN})
  # main.cpp, where a folder has one, is the entry point of that folder's
  # executable and stays out of the library so tests can link the rest.
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  if(NOT sources)
    set(sources ${CMAKE_SOURCE_DIR}/cmake/empty.cpp)
  endif()
  add_library(${ARG_NAME} STATIC ${sources})
  # Headers are included as "folder/Header.h" from the src root, but only the
  # folders of this library and its declared dependencies are reachable.
  set(include_root ${CMAKE_BINARY_DIR}/include_views/${ARG_NAME})
  get_filename_component(own_folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  file(MAKE_DIRECTORY ${include_root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${include_root}/${own_folder} SYMBOLIC)
  target_include_directories(${ARG_NAME} PUBLIC ${include_root})
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPENDS} ${ARG_LINKS})
  kestrova_warnings(${ARG_NAME})
endfunction()
