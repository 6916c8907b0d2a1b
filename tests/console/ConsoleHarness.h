// Runs the real console, headless, with a scripted scale behind the control, and reads its items.
#pragma once

#include "app/WeighApp.h"
#include "console/WeighConsoleDlg.h"
#include "framework/AfxTesting.h"
#include "opos/Opos.h"
#include "opos/config/ScalesConfig.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

using Calls = std::vector<std::string>;
using Items = std::vector<std::pair<int, std::string>>; // item id, expected text

// The note a failed read leaves for the capacity line.
inline const std::string kNote = " (Detault value:right value with a successfull read)";

class ConsoleTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the console modally; body runs once its window is up. Returns DoModal's result.
    INT_PTR RunConsole(const std::function<void(CWeighConsoleDlg&)>& body);
    // Puts the standard control state model, with the simulated K350, behind the control.
    void UseStandardScale() { m_override.reset(); }

    static std::string Text(CWnd& dlg, int id);
    // Checks the texts of several items; a mismatch names its item.
    static void ExpectItems(CWnd& dlg, const Items& items);
    // How often the device received this exact call since the last ClearCalls.
    long Count(const std::string& call) const;

    std::shared_ptr<opos::ScriptedScale> device; // capacity 2500, unit 2 (Kg)

private:
    // Whatever scales.conf the machine has, "K350" is the simulated scale here.
    opos::ConfigFilesOverride m_noConfiguration{{}};
    std::unique_ptr<opos::ServiceOverride> m_override;
};

// A table of console cases, each row named after the behaviour it protects.
template <class Row>
class ConsoleTable : public ConsoleTest, public ::testing::WithParamInterface<Row>
{
};
inline const auto kByBehaviour = [](const auto& info) { return std::string(info.param.behaviour); };
