// Everything a user of the scale control needs: result codes, the class id and dispatch ids,
// the clocks, service and device overrides, and (from the test library, tarabo_opos_testing) the
// manual clock and the scripted service.
#pragma once

#include "opos/AutomationFailure.h"
#include "opos/Clock.h"
#include "opos/DeviceRegistry.h"
#include "opos/testing/ManualClock.h"
#include "opos/OposScaleControl.h"
#include "opos/RealClock.h"
#include "opos/ResultCodes.h"
#include "opos/ScaleDevice.h"
#include "opos/ScaleService.h"
#include "opos/testing/ScriptedScale.h"
#include "opos/ServiceFactory.h"
#include "opos/SimulatedK350.h"
#include "opos/StandardScaleService.h"
