#pragma once
#include <gtest/gtest.h>

#include <optional>

#include "win/GdiPlus.h"

// GDI+ for the whole test program, as the application starts it.
class GdiplusEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        session_.emplace();
        ASSERT_TRUE(session_->ok());
    }
    void TearDown() override { session_.reset(); }

private:
    std::optional<win::GdiplusSession> session_;
};

inline ::testing::Environment* const g_gdiplusEnvironment =
    ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);
