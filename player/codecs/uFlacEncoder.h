// The FLAC encoder class of the codec library, on libFLAC's stream encoder.
// Threading and ownership as every encoder object (uEncoderObject.h).
#pragma once

#include "interfaces/uCodecInterfaces.h"

// A new FLAC encoder with one reference, answering IEncoder and
// IFlacEncoderParam; null when it cannot be made.
IEncoder* CreateFlacEncoderObject();
