#include "ScaleTestSupport.h"

#include <unistd.h>

using namespace opos;

ScaleDriver::ScaleDriver() : m_control(AfxCreateControlInstance(kScaleControlClsid)) {}

namespace {
LONG callLong(CHostedControl* control, DISPID id)
{
    LONG result = -1;
    AfxInvokeHelper(control, id, DISPATCH_METHOD, VT_I4, &result, VTS_NONE);
    return result;
}
}

LONG ScaleDriver::Open(const std::string& name)
{
    LONG result = -1;
    AfxInvokeHelper(m_control.get(), dispid::Open, DISPATCH_METHOD, VT_I4, &result, VTS_BSTR, name.c_str());
    return result;
}

LONG ScaleDriver::Close() { return callLong(m_control.get(), dispid::Close); }
LONG ScaleDriver::Release() { return callLong(m_control.get(), dispid::Release); }
LONG ScaleDriver::ClearInput() { return callLong(m_control.get(), dispid::ClearInput); }

LONG ScaleDriver::Claim(LONG timeoutMs)
{
    LONG result = -1;
    AfxInvokeHelper(m_control.get(), dispid::Claim, DISPATCH_METHOD, VT_I4, &result, VTS_I4, timeoutMs);
    return result;
}

LONG ScaleDriver::DirectIO(LONG command, LONG& data, BSTR& string)
{
    LONG result = -1;
    AfxInvokeHelper(m_control.get(), dispid::DirectIO, DISPATCH_METHOD, VT_I4, &result, VTS_I4 VTS_PI4 VTS_PBSTR,
                    command, &data, &string);
    return result;
}

LONG ScaleDriver::ReadWeight(LONG& weight, LONG timeoutMs)
{
    LONG result = -1;
    AfxInvokeHelper(m_control.get(), dispid::ReadWeight, DISPATCH_METHOD, VT_I4, &result, VTS_PI4 VTS_I4, &weight,
                    timeoutMs);
    return result;
}

void ScaleDriver::SetDeviceEnabled(bool enabled)
{
    AfxSetProperty(m_control.get(), dispid::DeviceEnabled, VT_BOOL, LONG(enabled ? TRUE : FALSE));
}

CString ScaleDriver::Description()
{
    CString text;
    AfxGetProperty(m_control.get(), dispid::Description, VT_BSTR, &text);
    return text;
}

LONG ScaleDriver::MaximumWeight()
{
    LONG value = -1;
    AfxGetProperty(m_control.get(), dispid::MaximumWeight, VT_I4, &value);
    return value;
}

LONG ScaleDriver::WeightUnit()
{
    LONG value = -1;
    AfxGetProperty(m_control.get(), dispid::WeightUnit, VT_I4, &value);
    return value;
}

std::string UniqueName(const std::string& base) { return base + "-test-" + std::to_string(::getpid()); }

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
