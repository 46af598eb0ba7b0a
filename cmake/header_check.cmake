# Every header of ours must compile on its own: one generated source per header includes it (twice, so a
# missing include guard shows too), built as an object library with the include paths of the part it
# belongs to. The objects are tiny and cached, so this costs little in the normal build; the test
# `headers_compile_alone` rebuilds them, so a header broken after the last build still fails the run.
set(HEADER_CHECK_DIR ${CMAKE_BINARY_DIR}/header_check)
add_custom_target(valmire_header_check ALL)

# PART: a folder of the repository; LIBS: the targets whose include paths its headers rely on.
function(valmire_check_headers part)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/${part}/*.hpp)
  if(NOT headers)
    return()
  endif()
  set(sources)
  foreach(header ${headers})
    string(MAKE_C_IDENTIFIER ${header} name)
    set(source ${HEADER_CHECK_DIR}/${name}.cpp)
    # Written only when it changes, so a reconfigure recompiles nothing.
    file(CONFIGURE OUTPUT ${source}
      CONTENT "#include \"${CMAKE_SOURCE_DIR}/${header}\"\n#include \"${CMAKE_SOURCE_DIR}/${header}\"\n")
    list(APPEND sources ${source})
  endforeach()
  string(MAKE_C_IDENTIFIER "valmire_header_check_${part}" target)
  add_library(${target} OBJECT ${sources})
  target_compile_options(${target} PRIVATE ${VALMIRE_WARNINGS})
  # Usage requirements only: objects are never linked.
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  add_dependencies(valmire_header_check ${target})
endfunction()

valmire_check_headers(common LIBS valmire_common)
valmire_check_headers(src LIBS valmire_client)
if(TARGET valmire_server_lib)
  valmire_check_headers(server LIBS valmire_server_lib)
endif()
if(TARGET valmire-assetgen)
  valmire_check_headers(tools LIBS valmire_common PkgConfig::VORBIS)
  target_include_directories(valmire_header_check_tools PRIVATE ${CMAKE_SOURCE_DIR}/tools/assetgen)
endif()
