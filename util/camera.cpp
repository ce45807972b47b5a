// The shared camera.
#include "util/camera.h"

CCamera g_Camera;

CCamera::CCamera()
{
    SetView(D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 0.0f, 1.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    SetProjection(0.7853982f, 1.0f, 1.0f, 1000.0f);
}

void CCamera::SetView(const D3DXVECTOR3& vEye, const D3DXVECTOR3& vTarget, const D3DXVECTOR3& vUp)
{
    m_vEye = vEye;
    m_vTarget = vTarget;
    m_vUp = vUp;
    D3DXMatrixLookAtLH(&m_matView, &m_vEye, &m_vTarget, &m_vUp);
}

void CCamera::SetProjection(float fFov, float fAspect, float fNear, float fFar)
{
    m_fFov = fFov;
    m_fAspect = fAspect;
    m_fNear = fNear;
    m_fFar = fFar;
    D3DXMatrixPerspectiveFovLH(&m_matProj, fFov, fAspect, fNear, fFar);
}

D3DXVECTOR3* CCamera::GetEye(D3DXVECTOR3* pOut) const
{
    *pOut = m_vEye;
    return pOut;
}

D3DXVECTOR3* CCamera::GetTarget(D3DXVECTOR3* pOut) const
{
    *pOut = m_vTarget;
    return pOut;
}

D3DXVECTOR3* CCamera::GetUp(D3DXVECTOR3* pOut) const
{
    *pOut = m_vUp;
    return pOut;
}

D3DXMATRIX* CCamera::GetViewMatrix(D3DXMATRIX* pOut) const
{
    *pOut = m_matView;
    return pOut;
}

D3DXMATRIX* CCamera::GetProjMatrix(D3DXMATRIX* pOut) const
{
    *pOut = m_matProj;
    return pOut;
}
