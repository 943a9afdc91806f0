// A tiny run-time library for the loader tests: found beside the test
// executable by its bare name only.
extern "C" __attribute__((visibility("default"))) int LxPlayerOrdinal3() { return 303; }
extern "C" __attribute__((visibility("default"))) int MorvoTestAnswer(int Value) {
  return Value * 2;
}
