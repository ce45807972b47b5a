    vec4 diff = hasD ? aDiffuse : vec4(1.0);
    vec4 specCol = hasS ? aSpecular : vec4(0.0);
