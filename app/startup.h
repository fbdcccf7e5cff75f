// Start-up: socket layer, local addresses, digest state, random seed, controls, images.
#pragma once

// Ends the process when the socket layer cannot be started.
void StartUp();
