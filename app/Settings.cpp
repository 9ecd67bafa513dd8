#include "app/Settings.h"

int nSoundCaptureIndex = 0;
int nCapturePinIndex = 0;
int nSearchFlag = 0;
