#include "player/codecs/ape/uApeEncoderObject.h"

// Until the encoder lands, the factory refuses APE so that APE tasks fail
// cleanly.
IEncoder* CreateApeEncoderObject() { return nullptr; }
