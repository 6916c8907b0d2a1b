// Everything a user of the scale control needs: result codes, the class id and dispatch ids,
// the clocks, service and device overrides, and (from the test library, tarabo_opos_testing) the
// manual clock and the scripted service.
#pragma once

#include "AutomationFailure.h"
#include "Clock.h"
#include "DeviceRegistry.h"
#include "opos/testing/ManualClock.h"
#include "OposScaleControl.h"
#include "RealClock.h"
#include "ResultCodes.h"
#include "ScaleDevice.h"
#include "ScaleService.h"
#include "opos/testing/ScriptedScale.h"
#include "ServiceFactory.h"
#include "SimulatedK350.h"
#include "StandardScaleService.h"
