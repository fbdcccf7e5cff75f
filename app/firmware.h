// The embedded firmware images and the product table that names the product from the header.
#pragma once

#include "app/firmware_image.h"
#include "app/upgrade_state.h"

// Fills targetImage, and transitionImage when the stage is Transition.
void LoadFirmwareImages();
// Sets the profile from the Target image's header.
void IdentifyProduct();
