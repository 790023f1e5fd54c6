// A fresh machine per test with the test driver registered; the test fails when the driver
// verifier recorded a violation that the test did not expect (and clear).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "kernel/machine.h"
#include "test_driver.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        testdrv::DriverFaults().refuseQueryRemove = false;
        testdrv::DriverFaults().keepPendingOnSurpriseRemoval = false;
        testdrv::DriverFaults().failStart = false;
        kernel::MachineOptions options;
        options.timeIncrement = timeIncrement_;
        machine_ = std::make_unique<kernel::Machine>(options);
        testdrv::RegisterTestDriver(*machine_);
    }
    void TearDown() override {
        if (machine_) {
            machine_->DrainWorker();
            EXPECT_TRUE(machine_->verifier().Clean()) << machine_->verifier().Describe();
            machine_.reset();
        }
        devices_.clear();
    }
    // Plugs in test device n: register window at 0xF000_0000 + n * 0x1000, interrupt line 5
    // (shared by every test device).
    PDEVICE_OBJECT Plug(int n, NTSTATUS* status = nullptr, bool direct = false) {
        auto d = std::make_shared<testdrv::TestDevice>(0xF0000000ull + n * 0x1000ull, 5, direct);
        d->Attach(*machine_);
        devices_.push_back(d);
        return machine_->PlugIn(d, status);
    }
    bool TraceHas(const std::string& line) const {
        for (auto& l : machine_->Trace())
            if (l == line) return true;
        return false;
    }

    ULONG timeIncrement_ = 156250;
    std::unique_ptr<kernel::Machine> machine_;
    std::vector<std::shared_ptr<testdrv::TestDevice>> devices_;
};
