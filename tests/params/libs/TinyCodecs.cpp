// The smallest library the codec loader accepts: it exports the class
// object entry and offers no class. Enough for the parameter classes, which
// only ask whether the library can be loaded.
#include "platform/uCom.h"

extern "C" __attribute__((visibility("default"))) HRESULT
DllGetClassObject(const TGUID&, const TGUID&, void** Object) {
  if (Object)
    *Object = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}
