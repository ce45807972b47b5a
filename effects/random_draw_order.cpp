// Global objects whose constructors draw random numbers. They share one
// file because only within a file is the construction order fixed, and that
// order decides which numbers of the sequence each of them gets.
#include "effects/fireflies.h"
#include "effects/tunnel_swarm.h"

CFireflies g_Fireflies(0);
CTunnelSwarm g_TunnelSwarm;
