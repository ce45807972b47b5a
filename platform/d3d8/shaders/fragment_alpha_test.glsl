    {
        int a8 = int(cur.a * 255.0 + 0.5);
        int af = uAlphaFunc;
        int ref = uAlphaRef;
        bool pass = (af == D3DCMP_LESS && a8 < ref) || (af == D3DCMP_EQUAL && a8 == ref) ||
                    (af == D3DCMP_LESSEQUAL && a8 <= ref) || (af == D3DCMP_GREATER && a8 > ref) ||
                    (af == D3DCMP_NOTEQUAL && a8 != ref) || (af == D3DCMP_GREATEREQUAL && a8 >= ref);
        if (!pass) discard;
    }
