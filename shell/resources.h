// The program's resources (what a resource script would bind into the
// executable): accelerator table 113.
#pragma once

// Makes the resources known to the platform layer; idempotent.
void RegisterResources();
