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
    if (fm == kVFogSpecAlpha) {
        f = specCol.a;
    } else if (fm == kVFogDepth) {
        f = (uFlags & kVfFogDepthW) != 0 ? gl_Position.w : (gl_Position.z / gl_Position.w) * 0.5 + 0.5;
    } else if (fm != kVFogNone) {
        float d = uRangeFog != 0 ? length(pc) : abs(pc.z);
        if (fm == kVFogLinear)
            f = uFogEnd != uFogStart ? (uFogEnd - d) / (uFogEnd - uFogStart) : (d < uFogEnd ? 1.0 : 0.0);
        else if (fm == kVFogExp)
            f = exp(-d * uFogDensity);
        else
            f = exp(-(d * uFogDensity) * (d * uFogDensity));
        f = clamp(f, 0.0, 1.0);
    }
    vFog = f;

    float ps = (uFlags & kVfHasPointSize) != 0 ? aPSize : uPointSize;
    if ((uFlags & kVfPointScale) != 0 && (uFlags & kVfPreTransformed) == 0) {
        float d = length(pc);
        ps = uViewportHeight * ps * sqrt(1.0 / max(uPointScaleA + uPointScaleB * d + uPointScaleC * d * d, 1e-20));
    }
    gl_PointSize = max(clamp(ps, uPointSizeMin, uPointSizeMax) * uPixelScale, 1.0);
