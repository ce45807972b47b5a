// The back buffer through the gamma lookup (one row of 256 entries a channel).
in vec2 vUv;
uniform sampler2D uSrc;
uniform sampler2D uLut;
uniform int uUseLut;
out vec4 oColor;
void main() {
    vec3 c = texture(uSrc, vUv).rgb;
    if (uUseLut != 0) {
        ivec3 i = ivec3(c * 255.0 + 0.5);
        c = vec3(texelFetch(uLut, ivec2(i.r, 0), 0).r, texelFetch(uLut, ivec2(i.g, 0), 0).g,
                 texelFetch(uLut, ivec2(i.b, 0), 0).b);
    }
    oColor = vec4(c, 1.0);
}
