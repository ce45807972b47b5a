    {
        vec4 Cd = MatColor(uDiffuseSource, uMatDiffuse, hasD, hasS);
        vec4 Ca = MatColor(uAmbientSource, uMatAmbient, hasD, hasS);
        vec4 Cs = MatColor(uSpecularSource, uMatSpecular, hasD, hasS);
        vec4 Ce = MatColor(uEmissiveSource, uMatEmissive, hasD, hasS);
        vec3 amb = uGlobalAmbient.rgb;
        vec3 dsum = vec3(0.0);
        vec3 ssum = vec3(0.0);
        vec3 E = vec3(0.0, 0.0, -1.0);
        if ((uFlags & kVfLocalViewer) != 0 && dot(pc, pc) > 0.0) E = -normalize(pc);
        for (int i = 0; i < uLightCount; ++i) {
            vec3 L = uLight[i].toLight;
            float att = 1.0;
            int type = uLight[i].type;
            if (type != D3DLIGHT_DIRECTIONAL) {
                vec3 d = uLight[i].position - pc;
                float dist = length(d);
                if (dist > uLight[i].range) continue;
                L = dist > 0.0 ? d / dist : vec3(0.0);
                vec3 k = uLight[i].attenuation;
                float den = k.x + k.y * dist + k.z * dist * dist;
                att = den > 0.0 ? 1.0 / den : 1.0;
                if (type == D3DLIGHT_SPOT) {
                    float rho = dot(L, uLight[i].toLight);
                    float ct = uLight[i].cosHalfTheta;
                    float cp = uLight[i].cosHalfPhi;
                    float spot = rho > ct ? 1.0 : (rho <= cp ? 0.0 : pow((rho - cp) / (ct - cp), uLight[i].falloff));
                    att *= spot;
                }
            }
            amb += att * uLight[i].ambient.rgb;
            float ndl = dot(n, L);
            if (ndl > 0.0) {
                dsum += att * ndl * uLight[i].diffuse.rgb;
                if ((uFlags & kVfSpecular) != 0) {
                    vec3 H = normalize(L + E);
                    float ndh = dot(n, H);
                    if (ndh > 0.0) ssum += att * pow(ndh, uPower) * uLight[i].specular.rgb;
                }
            }
        }
        diff = vec4(Ce.rgb + Ca.rgb * amb + Cd.rgb * dsum, Cd.a);
        specCol = vec4(Cs.rgb * ssum, hasS ? aSpecular.a : 0.0);
    }
