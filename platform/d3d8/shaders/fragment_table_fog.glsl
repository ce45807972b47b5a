    {
        // Per-pixel fog from the depth the vertex stage passed on.
        float d = (uFlags & kVfFogDepthW) != 0 ? vFog : vFogDepth;
        float f;
        if (uTableFog == D3DFOG_LINEAR)
            f = uFogEnd != uFogStart ? (uFogEnd - d) / (uFogEnd - uFogStart) : (d < uFogEnd ? 1.0 : 0.0);
        else if (uTableFog == D3DFOG_EXP)
            f = exp(-d * uFogDensity);
        else
            f = exp(-(d * uFogDensity) * (d * uFogDensity));
        cur.rgb = mix(uFogColor.rgb, cur.rgb, clamp(f, 0.0, 1.0));
    }
