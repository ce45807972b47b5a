// Accelerator table 113: the three keys that end the show.
#include "shell/resources.h"

#include "platform/win32/win32.h"
#include "shell/app.h"

static const ACCEL s_Accelerators[] = {
    {FVIRTKEY | FNOINVERT, VK_ESCAPE, IDM_EXIT},
    {FVIRTKEY | FNOINVERT, VK_F2, IDM_TOGGLEFULLSCREEN},
    {FVIRTKEY | FALT | FNOINVERT, VK_RETURN, IDM_ALTENTER},
};

void RegisterResources()
{
    RegisterAcceleratorResource(IDR_ACCELERATORS, s_Accelerators,
                                (int)(sizeof(s_Accelerators) / sizeof(s_Accelerators[0])));
}
