    // One copy of a wide line, moved by whole stored pixels (zero otherwise).
    gl_Position.xy += uPixelShift.zw * gl_Position.w;

    diff = clamp(diff, 0.0, 1.0);
    specCol = clamp(specCol, 0.0, 1.0);
    vDiff = diff;
    vDiffF = diff;
    vSpec = specCol;
    vSpecF = specCol;

    int fm = uVertexFog;
    float f = 1.0;
    float depth = 0.0;
    if (fm == kVFogSpecAlpha) {
        f = specCol.a;
    } else if (fm == kVFogDepth) {
        // Table fog reads the eye depth w under a perspective projection,
        // else the depth z, which the screen interpolates linearly. A
        // pre-transformed vertex's z is that depth; its rhw only weights
        // the interpolation, and never changes the fog.
        f = gl_Position.w;
        depth = (uFlags & kVfPreTransformed) != 0 ? aPos.z : (gl_Position.z / gl_Position.w) * 0.5 + 0.5;
    } else if (fm != kVFogNone) {
        float d = uRangeFog != 0 ? length(pc) : abs(pc.z);
        if (fm == kVFogLinearStep) {
            // Start and end meet: fogged wholly from that distance on. The
            // step is taken per pixel, from this interpolated difference.
            f = uFogEnd - d;
        } else {
            if (fm == kVFogLinear)
                f = (uFogEnd - d) / (uFogEnd - uFogStart);
            else if (fm == kVFogExp)
                f = exp(-d * uFogDensity);
            else
                f = exp(-(d * uFogDensity) * (d * uFogDensity));
            f = clamp(f, 0.0, 1.0);
        }
    }
    vFog = f;
    VT_SET_FOG_DEPTH(depth);

    float ps = (uFlags & kVfHasPointSize) != 0 ? aPSize : uPointSize;
    if ((uFlags & kVfPointScale) != 0 && (uFlags & kVfPreTransformed) == 0) {
        float d = length(pc);
        ps = uViewportHeight * ps * sqrt(1.0 / max(uPointScaleA + uPointScaleB * d + uPointScaleC * d * d, 1e-20));
    }
    gl_PointSize = max(clamp(ps, uPointSizeMin, uPointSizeMax) * uPixelScale, 1.0);
