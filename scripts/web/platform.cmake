# The build for the browser (emcmake cmake): the libraries the platform
# layer links come from scripts/web/deps.sh (build-web/deps/prefix, or
# VT_WEB_DEPS), under the names the desktop build finds them by, so the
# layer's library lists stay one.
set(VT_WEB_DEPS "${CMAKE_SOURCE_DIR}/build-web/deps/prefix" CACHE PATH "WebAssembly libraries built by scripts/web/deps.sh")
foreach(lib z png16 jpeg mpg123 kissfft-float)
  if(NOT EXISTS "${VT_WEB_DEPS}/lib/lib${lib}.a")
    message(FATAL_ERROR "${VT_WEB_DEPS}/lib/lib${lib}.a is missing: run scripts/web/deps.sh first")
  endif()
endforeach()

function(vt_web_library name file)
  add_library(${name} STATIC IMPORTED GLOBAL)
  set_target_properties(${name} PROPERTIES IMPORTED_LOCATION "${VT_WEB_DEPS}/lib/${file}"
                                           INTERFACE_INCLUDE_DIRECTORIES "${VT_WEB_DEPS}/include;${ARGN}")
endfunction()
vt_web_library(ZLIB::ZLIB libz.a)
vt_web_library(PNG::PNG libpng16.a)
set_property(TARGET PNG::PNG APPEND PROPERTY INTERFACE_LINK_LIBRARIES ZLIB::ZLIB)
vt_web_library(JPEG::JPEG libjpeg.a)
vt_web_library(PkgConfig::MPG123 libmpg123.a)
vt_web_library(PkgConfig::KISSFFT libkissfft-float.a "${VT_WEB_DEPS}/include/kissfft")
set_property(TARGET PkgConfig::KISSFFT APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS kiss_fft_scalar=float)

# WebGL 2 through Emscripten's GLES 3 headers; the page's one thread.
add_library(OpenGL::OpenGL INTERFACE IMPORTED GLOBAL)
target_link_options(OpenGL::OpenGL INTERFACE -sMIN_WEBGL_VERSION=2 -sMAX_WEBGL_VERSION=2 -sFULL_ES3=1)
add_library(Threads::Threads INTERFACE IMPORTED GLOBAL)
