// Merged draws: each vertex carries the index of its draw, whose matrices
// (world * view * projection, world * view, normal) are twelve texels of the
// buffer texture, columns in order: the values the uniforms would hold.
uniform samplerBuffer uDrawMatrices;
layout(location = kAttrDrawSlot) in uint aDrawSlot;

mat4 DrawMatrix(int which) {
    int at = (int(aDrawSlot) * 3 + which) * 4;
    return mat4(texelFetch(uDrawMatrices, at), texelFetch(uDrawMatrices, at + 1), texelFetch(uDrawMatrices, at + 2),
                texelFetch(uDrawMatrices, at + 3));
}
