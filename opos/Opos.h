// Everything a user of the scale control needs: result codes, the class id and dispatch ids,
// the clocks, service and device overrides, and the scripted service for tests.
#pragma once

#include "AutomationFailure.h"
#include "Clock.h"
#include "DeviceRegistry.h"
#include "ManualClock.h"
#include "OposScaleControl.h"
#include "RealClock.h"
#include "ResultCodes.h"
#include "ScaleDevice.h"
#include "ScaleService.h"
#include "ScriptedScale.h"
#include "ServiceFactory.h"
#include "SimulatedK350.h"
#include "StandardScaleService.h"
