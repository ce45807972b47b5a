// What one full-picture pass costs on this machine's GL: a bare program,
// nothing of the show, timing each kind of pass Present can make at the
// show's 1024 x 768 (median of many, each waited for with glFinish).
//   bench/pass_cost.sh            (builds this and runs it)
#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>
#include <SDL2/SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kW = 1024, kH = 768, kRuns = 60;

GLuint Texture(GLenum filter) {
    GLuint t = 0;
    glGenTextures(1, &t);
    glBindTexture(GL_TEXTURE_2D, t);
    std::vector<unsigned char> pixels(size_t(kW) * kH * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 37 / 11);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kW, kH, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    return t;
}

GLuint Fbo(GLuint texture) {
    GLuint f = 0;
    glGenFramebuffers(1, &f);
    glBindFramebuffer(GL_FRAMEBUFFER, f);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    return f;
}

GLuint Program(const char* fragment) {
    const char* vertex =
        "#version 330 core\nout vec2 uv;\nvoid main() {\n"
        "  vec2 p = vec2(float((gl_VertexID & 1) * 2), float((gl_VertexID >> 1) * 2));\n"
        "  uv = vec2(p.x, 1.0 - p.y); gl_Position = vec4(p * 2.0 - 1.0, 0.0, 1.0);\n}\n";
    GLuint p = glCreateProgram();
    for (auto [type, src] : {std::pair{GL_VERTEX_SHADER, vertex}, std::pair{GL_FRAGMENT_SHADER, fragment}}) {
        GLuint s = glCreateShader(type);
        glShaderSource(s, 1, &src, nullptr);
        glCompileShader(s);
        glAttachShader(p, s);
    }
    glLinkProgram(p);
    return p;
}

double MedianMs(const std::function<void()>& pass) {
    pass();  // the first run builds the driver's code for it
    glFinish();
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        pass();
        glFinish();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main() {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return std::fprintf(stderr, "SDL: %s\n", SDL_GetError()), 1;
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_Window* window = SDL_CreateWindow("", 0, 0, kW, kH, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
    if (!context) return std::fprintf(stderr, "no GL 3.3 context: %s\n", SDL_GetError()), 1;

    const GLuint back = Texture(GL_NEAREST), shown = Texture(GL_LINEAR), target = Texture(GL_NEAREST);
    const GLuint backFbo = Fbo(back), shownFbo = Fbo(shown), targetFbo = Fbo(target);
    GLuint lut = 0;
    glGenTextures(1, &lut);
    glBindTexture(GL_TEXTURE_2D, lut);
    std::vector<unsigned char> ramp(256 * 3);
    for (int i = 0; i < 256 * 3; ++i) ramp[i] = static_cast<unsigned char>(i / 3);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, 256, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, ramp.data());
    const GLuint plain = Program(
        "#version 330 core\nin vec2 uv; uniform sampler2D src; out vec4 o;\n"
        "void main() { o = vec4(texture(src, uv).rgb, 1.0); }\n");
    const GLuint lookup = Program(
        "#version 330 core\nin vec2 uv; uniform sampler2D src; uniform sampler2D lut; out vec4 o;\n"
        "void main() { ivec3 i = ivec3(texture(src, uv).rgb * 255.0 + 0.5);\n"
        "  o = vec4(texelFetch(lut, ivec2(i.r, 0), 0).r, texelFetch(lut, ivec2(i.g, 0), 0).g,\n"
        "           texelFetch(lut, ivec2(i.b, 0), 0).b, 1.0); }\n");
    // A layer as the show draws them: texture times the vertex colour,
    // fogged, blended over what is there, depth-tested against a 16-bit buffer.
    const GLuint layer = Program(
        "#version 330 core\nin vec2 uv; uniform sampler2D src; out vec4 o;\n"
        "void main() { vec4 c = clamp(texture(src, uv) * vec4(1.0, 1.0, 1.0, 0.6), 0.0, 1.0);\n"
        "  o = vec4(mix(vec3(0.0), c.rgb, 0.5 + 0.5 * uv.x), c.a); }\n");
    const GLuint layerFbo = Fbo(target);
    GLuint depth = 0;
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, kW, kH);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    glClear(GL_DEPTH_BUFFER_BIT);
    glUseProgram(lookup);
    glUniform1i(glGetUniformLocation(lookup, "lut"), 1);
    GLuint vao = 0;
    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    glViewport(0, 0, kW, kH);

    auto blit = [&](GLuint from, GLuint to, bool flip, GLenum filter) {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
        glBlitFramebuffer(0, 0, kW, kH, 0, flip ? kH : 0, kW, flip ? 0 : kH, GL_COLOR_BUFFER_BIT, filter);
    };
    auto quad = [&](GLuint program, GLuint to) {
        glBindFramebuffer(GL_FRAMEBUFFER, to);
        glUseProgram(program);
        glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_2D, lut);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, shown);
        glDrawArrays(GL_TRIANGLES, 0, 3);
    };
    const struct {
        const char* name;
        std::function<void()> pass;
    } passes[] = {
        {"clear", [&] { glBindFramebuffer(GL_FRAMEBUFFER, targetFbo); glClear(GL_COLOR_BUFFER_BIT); }},
        {"copy (blit, same size)", [&] { blit(backFbo, shownFbo, false, GL_NEAREST); }},
        {"copy flipped (blit)", [&] { blit(shownFbo, targetFbo, true, GL_NEAREST); }},
        {"textured full-screen triangle", [&] { quad(plain, targetFbo); }},
        {"triangle with gamma lookup", [&] { quad(lookup, targetFbo); }},
        {"layer: texture x colour, fog, blend, depth test",
         [&] {
             glEnable(GL_BLEND);
             glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
             glEnable(GL_DEPTH_TEST);
             glDepthFunc(GL_LEQUAL);
             quad(layer, layerFbo);
             glDisable(GL_BLEND);
             glDisable(GL_DEPTH_TEST);
         }},
        {"window: triangle to the default framebuffer", [&] { quad(plain, 0); }},
        {"window: lookup to the default framebuffer", [&] { quad(lookup, 0); }},
    };
    std::printf("one pass at %d x %d, median of %d (ms):\n", kW, kH, kRuns);
    for (const auto& p : passes) std::printf("  %-50s %6.2f\n", p.name, MedianMs(p.pass));
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}
