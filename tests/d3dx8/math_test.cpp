#include <gtest/gtest.h>

#include "platform/d3dx8/d3dx8.h"

namespace {

void ExpectNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = 1e-5f) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(a.m[i][j], b.m[i][j], tol) << "element (" << i + 1 << "," << j + 1 << ")";
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tol = 1e-5f) {
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

D3DXVECTOR3 Apply(const D3DXMATRIX& m, D3DXVECTOR3 v) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

TEST(Math, CatmullRomEndsAreExactAndMidpointFollowsFormula) {
    const D3DXVECTOR3 p0(0.1f, -3.7f, 9.3f), p1(1.3f, 2.9f, -0.7f), p2(7.77f, 1.1f, 0.3f), p3(-2, 5, 11);
    D3DXVECTOR3 out;
    D3DXVec3CatmullRom(&out, &p0, &p1, &p2, &p3, 0.0f);
    EXPECT_EQ(out, p1);
    D3DXVec3CatmullRom(&out, &p0, &p1, &p2, &p3, 1.0f);
    EXPECT_EQ(out, p2);
    // s = 0.5: 0.5 * (2 p1 + 0.5 (p2 - p0) + 0.25 (2 p0 - 5 p1 + 4 p2 - p3) + 0.125 (3 p1 - p0 - 3 p2 + p3))
    //        = (-p0 + 9 p1 + 9 p2 - p3) / 16
    D3DXVec3CatmullRom(&out, &p0, &p1, &p2, &p3, 0.5f);
    ExpectNear(out, (p1 * 9 + p2 * 9 - p0 - p3) / 16.0f);
    // Collinear, evenly spaced points give the straight line.
    const D3DXVECTOR3 q0(0, 0, 0), q1(1, 2, 3), q2(2, 4, 6), q3(3, 6, 9);
    D3DXVec3CatmullRom(&out, &q0, &q1, &q2, &q3, 0.25f);
    ExpectNear(out, D3DXVECTOR3(1.25f, 2.5f, 3.75f));
}

TEST(Math, ElementaryRotationsFollowRowVectorConvention) {
    const float a = D3DX_PI / 2;
    D3DXMATRIX m;
    struct Case {
        D3DXMATRIX* (*fn)(D3DXMATRIX*, float);
        D3DXVECTOR3 in, out;
    } cases[] = {
        // Left-handed rotations: positive angles turn y to z, z to x, x to y.
        {D3DXMatrixRotationX, {0, 1, 0}, {0, 0, 1}},
        {D3DXMatrixRotationY, {0, 0, 1}, {1, 0, 0}},
        {D3DXMatrixRotationZ, {1, 0, 0}, {0, 1, 0}},
        {D3DXMatrixRotationY, {1, 0, 0}, {0, 0, -1}},
    };
    for (const Case& c : cases) {
        c.fn(&m, a);
        ExpectNear(Apply(m, c.in), c.out);
    }
}

TEST(Math, YawPitchRollIsRollThenPitchThenYaw) {
    const float yaw = 0.7f, pitch = -1.1f, roll = 2.3f;
    D3DXMATRIX ypr, rx, ry, rz;
    D3DXMatrixRotationYawPitchRoll(&ypr, yaw, pitch, roll);
    D3DXMatrixRotationX(&rx, pitch);
    D3DXMatrixRotationY(&ry, yaw);
    D3DXMatrixRotationZ(&rz, roll);
    ExpectNear(ypr, rz * rx * ry);
    // Any other order gives a different matrix for these angles.
    D3DXMATRIX wrong = ry * rx * rz;
    EXPECT_GT(std::fabs(wrong._13 - ypr._13) + std::fabs(wrong._31 - ypr._31), 0.1f);
    // Pure yaw of 90 degrees sends +z to +x.
    D3DXMatrixRotationYawPitchRoll(&ypr, D3DX_PI / 2, 0, 0);
    ExpectNear(Apply(ypr, {0, 0, 1}), {1, 0, 0});
}

TEST(Math, MultiplyAppliesLeftOperandFirstAndAllowsAliasing) {
    D3DXMATRIX t, s, r;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    D3DXMatrixScaling(&s, 2, 2, 2);
    D3DXMatrixMultiply(&r, &t, &s);  // translate, then scale
    ExpectNear(Apply(r, {0, 0, 0}), {2, 4, 6});
    D3DXMatrixMultiply(&t, &t, &s);  // out aliases an operand
    ExpectNear(t, r);
    EXPECT_EQ(t._41, 2.0f);
}

TEST(Math, TransformCoordDividesByW) {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    m._14 = 1.0f;  // w = x + 1
    m._44 = 1.0f;
    ExpectNear(Apply(m, {3, 8, 12}), {0.75f, 2, 3});
    D3DXVECTOR3 n, v(3, 8, 12);
    D3DXMatrixTranslation(&m, 5, 5, 5);
    D3DXVec3TransformNormal(&n, &v, &m);  // directions ignore translation
    ExpectNear(n, v);
}

TEST(Math, LookAtRowsAndEyeAtOrigin) {
    const D3DXVECTOR3 eye(1, 2, 3), at(4, 2, 3), up(0, 1, 0);
    D3DXMATRIX v;
    D3DXMatrixLookAtLH(&v, &eye, &at, &up);
    // z = +x, x = up x z = -z axis, y = z x x = +y.
    const D3DXMATRIX expected(0, 0, 1, 0,  //
                              0, 1, 0, 0,  //
                              -1, 0, 0, 0, //
                              3, -2, -1, 1);
    ExpectNear(v, expected);
    ExpectNear(Apply(v, eye), {0, 0, 0});
    ExpectNear(Apply(v, at), {0, 0, 3});  // the target lies straight ahead
    // The default camera looks down +z from the origin: identity.
    const D3DXVECTOR3 o(0, 0, 0), fwd(0, 0, 1);
    D3DXMatrixLookAtLH(&v, &o, &fwd, &up);
    D3DXMATRIX id;
    D3DXMatrixIdentity(&id);
    ExpectNear(v, id);
}

TEST(Math, PerspectiveElements) {
    D3DXMATRIX p;
    D3DXMatrixPerspectiveFovLH(&p, D3DX_PI / 4, 4.0f / 3.0f, 1.0f, 1000.0f);
    const float c = 1.0f / std::tan(D3DX_PI / 8);
    EXPECT_NEAR(p._11, c * 0.75f, 1e-5f);
    EXPECT_NEAR(p._22, c, 1e-5f);
    EXPECT_NEAR(p._33, 1000.0f / 999.0f, 1e-6f);
    EXPECT_EQ(p._34, 1.0f);
    EXPECT_NEAR(p._43, -1000.0f / 999.0f, 1e-6f);
    EXPECT_EQ(p._44, 0.0f);
    // Near plane maps to depth 0, far plane to depth 1.
    EXPECT_NEAR(Apply(p, {0, 0, 1}).z, 0.0f, 1e-6f);
    EXPECT_NEAR(Apply(p, {0, 0, 1000}).z, 1.0f, 1e-6f);
}

TEST(Math, InverseOfGeneralAndSingularMatrices) {
    D3DXMATRIX r, t, m, inv, prod, id;
    D3DXMatrixRotationYawPitchRoll(&r, 0.3f, 0.4f, 0.5f);
    D3DXMatrixTranslation(&t, 4, -5, 6);
    m = r * t;
    m._11 *= 2.0f;
    float det = 0;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
    D3DXMatrixMultiply(&prod, &m, &inv);
    D3DXMatrixIdentity(&id);
    ExpectNear(prod, id, 1e-5f);
    D3DXMATRIX singular;  // all zero
    D3DXMATRIX untouched = id;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &singular), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(untouched, id);
    // In place.
    D3DXMATRIX s;
    D3DXMatrixScaling(&s, 2, 4, 8);
    ASSERT_NE(D3DXMatrixInverse(&s, nullptr, &s), nullptr);
    EXPECT_FLOAT_EQ(s._33, 0.125f);
}

TEST(Math, VectorHelpers) {
    D3DXVECTOR3 v(3, 0, 4), out;
    EXPECT_FLOAT_EQ(D3DXVec3Length(&v), 5.0f);
    D3DXVec3Normalize(&out, &v);
    ExpectNear(out, {0.6f, 0, 0.8f});
    const D3DXVECTOR3 zero;
    D3DXVec3Normalize(&out, &zero);
    EXPECT_EQ(out, zero);  // no NaN
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0);
    D3DXVec3Cross(&out, &x, &y);
    EXPECT_EQ(out, D3DXVECTOR3(0, 0, 1));
    D3DXVECTOR3 a = x;
    D3DXVec3Cross(&a, &a, &y);  // aliasing
    EXPECT_EQ(a, D3DXVECTOR3(0, 0, 1));
    D3DXVec3Lerp(&out, &x, &y, 0.25f);
    ExpectNear(out, {0.75f, 0.25f, 0});
}

}  // namespace
