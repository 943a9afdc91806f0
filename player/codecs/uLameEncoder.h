// The MP3 encoder class of the codec library, on libmp3lame.
// Threading and ownership as every encoder object (uEncoderObject.h).
#pragma once

#include "interfaces/uCodecInterfaces.h"

// A new MP3 encoder with one reference, answering IEncoder and
// ILameStreamEncoder; null when it cannot be made.
IEncoder* CreateLameEncoderObject();
