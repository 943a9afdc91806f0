#include "player/codecs/ape/uApePredictor.h"

namespace ape {

void TApePredictor::Reset() {
  FLastX = FLastY = 0;
  FA[0] = FA[1] = FA[2] = FA[3] = 0;
  FBPrev = 0;
  FB[0] = FB[1] = FB[2] = 0;
  FSignA[0] = FSignA[1] = FSignA[2] = FSignA[3] = 0;
  FSignB[0] = FSignB[1] = FSignB[2] = 0;
  FCoefA[0] = 360;
  FCoefA[1] = 317;
  FCoefA[2] = -109;
  FCoefA[3] = 98;
  FCoefB[0] = FCoefB[1] = FCoefB[2] = FCoefB[3] = FCoefB[4] = 0;
  FEvents = 0;
}

}  // namespace ape
