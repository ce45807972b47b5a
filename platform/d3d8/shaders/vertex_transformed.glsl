    vec4 p = vec4(aPos.xyz, 1.0);
    gl_Position = uWVP * p;
    pc = (uWV * p).xyz;
    if ((uFlags & kVfHasNormal) != 0) {
        n = mat3(uNormalMatrix) * aNormal;
        if ((uFlags & kVfNormalize) != 0 && dot(n, n) > 0.0) n = normalize(n);
    }
