# The OpenGL loader is generated into the build tree at configure time; nothing generated is committed.
set(GLAD_DIR ${CMAKE_BINARY_DIR}/glad)
if(NOT EXISTS ${GLAD_DIR}/src/gl.c)
  find_program(GLAD_EXECUTABLE glad REQUIRED)
  execute_process(
    COMMAND ${GLAD_EXECUTABLE} --quiet --reproducible --api gl:core=4.5 --out-path ${GLAD_DIR} c
    RESULT_VARIABLE glad_result OUTPUT_QUIET ERROR_QUIET)
  if(NOT glad_result EQUAL 0 OR NOT EXISTS ${GLAD_DIR}/src/gl.c)
    message(FATAL_ERROR "glad could not generate the OpenGL loader")
  endif()
endif()
add_library(glad STATIC ${GLAD_DIR}/src/gl.c)
target_include_directories(glad SYSTEM PUBLIC ${GLAD_DIR}/include)
