# Copies the font and runs the generator into assets/ at the repository root, where the client reads them.
set(ASSETS_DIR ${CMAKE_SOURCE_DIR}/assets)
set(FONT_SOURCE /usr/share/fonts/truetype/firacode/FiraCode-Regular.ttf)
add_custom_command(
  OUTPUT ${ASSETS_DIR}/fonts/FiraCode-Regular.ttf
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ASSETS_DIR}/fonts
  COMMAND ${CMAKE_COMMAND} -E copy ${FONT_SOURCE} ${ASSETS_DIR}/fonts/FiraCode-Regular.ttf
  DEPENDS ${FONT_SOURCE}
  COMMENT "Copying the UI font")
set(ASSET_OUTPUTS ${ASSETS_DIR}/fonts/FiraCode-Regular.ttf)
if(TARGET valmire-assetgen AND VALMIRE_ASSETS)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/assets.stamp
    COMMAND valmire-assetgen --out ${ASSETS_DIR}
    COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/assets.stamp
    DEPENDS valmire-assetgen
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    COMMENT "Generating assets")
  list(APPEND ASSET_OUTPUTS ${CMAKE_BINARY_DIR}/assets.stamp)
endif()
add_custom_target(assets ALL DEPENDS ${ASSET_OUTPUTS})
