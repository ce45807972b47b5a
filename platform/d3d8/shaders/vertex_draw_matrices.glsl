// Merged draws: each vertex carries the index of its draw, whose matrices
// (world * view * projection, world * view, normal) are twelve texels of the
// buffer texture, columns in order: the values the uniforms would hold.
layout(location = kAttrDrawSlot) in uint aDrawSlot;
#ifdef VT_GLSL_ES
// No buffer textures: the same texels, rows of kDrawMatrixRow in a 2D texture.
uniform sampler2D uDrawMatrices;
vec4 MatrixTexel(int at) { return texelFetch(uDrawMatrices, ivec2(at % kDrawMatrixRow, at / kDrawMatrixRow), 0); }
#else
uniform samplerBuffer uDrawMatrices;
vec4 MatrixTexel(int at) { return texelFetch(uDrawMatrices, at); }
#endif

mat4 DrawMatrix(int which) {
    int at = (int(aDrawSlot) * 3 + which) * 4;
    return mat4(MatrixTexel(at), MatrixTexel(at + 1), MatrixTexel(at + 2), MatrixTexel(at + 3));
}
