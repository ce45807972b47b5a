// Scene 3's three-dimensional text scroller: a lattice of thin ribbons along
// x, y and z, 19 x 19 per direction, each carrying the sentence image twenty
// times. The camera drifts and tumbles through it; the text slides along
// every ribbon; whenever the camera enters a new cell the lattice is rebuilt
// around it, so the camera never reaches an edge.
#pragma once

#include "effects/tunnel_path.h"

#define LATTICE_SIDE 19                                    // ribbons per row of a family
#define LATTICE_FAMILY_RIBBONS (LATTICE_SIDE * LATTICE_SIDE)  // 361
#define LATTICE_RIBBONS (3 * LATTICE_FAMILY_RIBBONS)          // 1083
#define LATTICE_FAMILY_VERTS (4 * LATTICE_FAMILY_RIBBONS)     // 1444
#define LATTICE_VB_VERTS 4800                              // room for 1200 ribbons
#define LATTICE_TEXT_REPEAT 20.0f                          // sentence copies per ribbon
#define LATTICE_SCROLL_STEP 0.003f                         // per frame

// Edge of a lattice cell: 100 / 19 world units.
extern const float LATTICE_CELL;

// The cell coordinate of p along one axis, truncated toward zero (so the
// cells on both sides of 0 are one cell).
int LatticeCell(float p);

// The four vertices of the ribbon from p1 to p2, drawn as a fan 0-1-2-3:
// 0.5 below its line when it runs along x or z, 0.5 beside it in +x when it
// runs along y; u from fUOffset to fUOffset + fRepeat along it.
void MakeRibbon(TUNNELVERTEX out[4], D3DXVECTOR3 p1, D3DXVECTOR3 p2, float fRepeat, float fUOffset);

class CTextLattice {
public:
    CTextLattice();

    // Fills the buffer with the three families around cell (a, b, c).
    HRESULT BuildTextLattice(int a, int b, int c);
    // Slides the text along the families at 1, 1.2 and 2.5 times fStep.
    HRESULT ScrollTextLattice(float fStep);
    // Moves and tumbles the camera, scrolls, rebuilds on a cell change.
    HRESULT UpdateTextLattice(float fTime);
    HRESULT DrawTextLattice();
    void Release();

    IDirect3DTexture8* m_pSentenceTexture;
    IDirect3DTexture8* m_pOverlayTexture;
    IDirect3DTexture8* m_pScrollTexture;
    IDirect3DVertexBuffer8* m_pVB;
    int m_nCell[3];      // the cell the lattice was last built around
    float m_fScroll[3];  // accumulated u shift of each family

    // The camera's current leg: it drifts from start to end over
    // [m_fLegStart, m_fLegEnd] seconds of scene time.
    D3DXVECTOR3 m_vLegStart;
    D3DXVECTOR3 m_vLegEnd;
    float m_fLegStart;
    float m_fLegEnd;
};

extern CTextLattice g_TextLattice;
