// The APE encoder object of the codec library.
#pragma once

#include "codecs/uEncodeIntf.h"

// A new APE encoder with one reference, answering IEncoder and
// IApeEncoderParam; null when it cannot be made.
IEncoder* CreateApeEncoderObject();
