#include "app/foundation/StartFlags.h"

int AutoReceiveStartFlag = 0;
int UnattendedStartFlag = 0;
