    // Screen positions back to clip space, the perspective w kept.
    float w = aPos.w != 0.0 ? 1.0 / aPos.w : 1.0;
    float nx = (aPos.x - uViewport.x) * uViewport.z - 1.0;
    float ny = 1.0 - (aPos.y - uViewport.y) * uViewport.w;
    gl_Position = vec4((nx + uPixelShift.x) * w, (uPixelShift.y - ny) * w, (2.0 * aPos.z - 1.0) * w, w);
    // Where a depth clamp is wanted and the context has none (ES): no
    // vertex leaves the depth range, so none is clipped by its depth.
    if ((uFlags & kVfClampDepth) != 0) gl_Position.z = clamp(gl_Position.z, -w, w);
#ifdef VT_GLSL_ES
    vClampDepthW = aPos.z * w;
    vClampW = w;
#endif
