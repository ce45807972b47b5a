// A full-screen triangle from the vertex number alone.
out vec2 vUv;
void main() {
    vec2 p = vec2(float((gl_VertexID & 1) * 2), float((gl_VertexID >> 1) * 2));
    // Memory row 0 of the back buffer is the top of the picture.
    vUv = vec2(p.x, 1.0 - p.y);
    gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);
}
