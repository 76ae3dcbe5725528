#include "archive/payload.h"

PayloadResult UnpackPayload(const char*) {
  PayloadResult result;
  result.opened = true;
  return result;
}
