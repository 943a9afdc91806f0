// morvo-encoder: the converter's window. Started by the player with
// "/EncodeConvert path" to convert a file, or on its own.
#include "app/forms/uEncoderApp.h"

int main(int argc, char** argv) { return RunEncoder(argc, argv); }
