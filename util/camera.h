// The show's one camera: it only computes and stores the view and
// projection matrices; scenes hand them to the device.
#pragma once

#include "platform/d3dx8/d3dx8.h"

class CCamera {
public:
    CCamera();

    void SetView(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget, const D3DXVECTOR3& vUp);
    void SetProjection(float fFov, float fAspect, float fNear, float fFar);

    D3DXVECTOR3* GetEye(D3DXVECTOR3* pOut) const;
    D3DXVECTOR3* GetTarget(D3DXVECTOR3* pOut) const;
    D3DXVECTOR3* GetUp(D3DXVECTOR3* pOut) const;
    D3DXMATRIX* GetViewMatrix(D3DXMATRIX* pOut) const;
    D3DXMATRIX* GetProjMatrix(D3DXMATRIX* pOut) const;

private:
    D3DXVECTOR3 m_vEye;
    D3DXVECTOR3 m_vTarget;
    D3DXVECTOR3 m_vUp;  // exactly as passed, not re-orthogonalised
    D3DXMATRIX m_matView;
    float m_fFov;
    float m_fAspect;
    float m_fNear;
    float m_fFar;
    D3DXMATRIX m_matProj;
};

extern CCamera g_Camera;
