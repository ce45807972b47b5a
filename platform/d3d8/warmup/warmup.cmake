# The recorded list of draw-state combinations the device warms up with
# (variants.txt, re-recorded with record.sh), embedded into vt_d3d8.
set(VT_D3D8_VARIANTS ${CMAKE_CURRENT_LIST_DIR}/variants.txt)
set(VT_D3D8_VARIANTS_OUT ${CMAKE_BINARY_DIR}/generated/d3d8_variants)
add_custom_command(
  OUTPUT ${VT_D3D8_VARIANTS_OUT}/d3d8_variants.cpp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VT_D3D8_VARIANTS_OUT}
  COMMAND ${CMAKE_COMMAND} -DIN=${VT_D3D8_VARIANTS} -DOUT=${VT_D3D8_VARIANTS_OUT}
          -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  DEPENDS ${VT_D3D8_VARIANTS} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  COMMENT "Embedding the device's warm-up list"
  VERBATIM)
target_sources(vt_d3d8 PRIVATE ${VT_D3D8_VARIANTS_OUT}/d3d8_variants.cpp)
