#include "FrameworkFixture.h"
