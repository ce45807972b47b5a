# The OpenGL device's GLSL, embedded into vt_d3d8 as string constants
# (d3d8_glsl.h), so nothing is read from disk at run time.
set(VT_D3D8_GLSL
  blocks.glsl
  fragment_alpha_test.glsl
  fragment_table_fog.glsl
  present_fragment.glsl
  present_vertex.glsl
  vertex_colours.glsl
  vertex_draw_matrices.glsl
  vertex_head.glsl
  vertex_lighting.glsl
  vertex_pretransformed.glsl
  vertex_tail.glsl
  vertex_transformed.glsl)
list(TRANSFORM VT_D3D8_GLSL PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
set(VT_D3D8_GLSL_OUT ${CMAKE_BINARY_DIR}/generated/d3d8_glsl)
add_custom_command(
  OUTPUT ${VT_D3D8_GLSL_OUT}/d3d8_glsl.h ${VT_D3D8_GLSL_OUT}/d3d8_glsl.cpp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VT_D3D8_GLSL_OUT}
  COMMAND ${CMAKE_COMMAND} -DOUT=${VT_D3D8_GLSL_OUT} "-DSOURCES=${VT_D3D8_GLSL}"
          -P ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  DEPENDS ${VT_D3D8_GLSL} ${CMAKE_CURRENT_LIST_DIR}/embed.cmake
  COMMENT "Embedding the device's GLSL"
  VERBATIM)
target_sources(vt_d3d8 PRIVATE ${VT_D3D8_GLSL_OUT}/d3d8_glsl.cpp ${VT_D3D8_GLSL_OUT}/d3d8_glsl.h)
target_include_directories(vt_d3d8 PRIVATE ${VT_D3D8_GLSL_OUT})
