#include "FakeDesktopServices.h"
