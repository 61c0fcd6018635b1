#pragma once
// A main window built in-process on a fresh data folder that is the current directory, as the
// program sees it at start.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "app/Main.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <memory>

namespace snapkeep::test {

class MainFormTest : public testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize();
        ::GetCurrentDirectoryW(MAX_PATH, previousDirectory_);
        ASSERT_TRUE(::CreateDirectoryW((dir_ / L"SnapData").c_str(), nullptr));
        ASSERT_TRUE(::SetCurrentDirectoryW(dir_.Path().c_str()));
    }
    void TearDown() override {
        form_.reset();
        ::SetCurrentDirectoryW(previousDirectory_);
    }
    // Builds the window; the data files must be in place before.
    TMainForm& Form() {
        form_ = std::make_unique<TMainForm>();
        std::string error;
        EXPECT_TRUE(form_->Create(error)) << error;
        return *form_;
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    // Puts a shipped language file into the data folder.
    void CopyLanguage(const std::wstring& name) {
        ::CreateDirectoryW(Data(L"Language").c_str(), nullptr);
        const std::wstring source = SourceFile(SNAPKEEP_LANGUAGE_DIR) + L"\\" + name;
        ASSERT_TRUE(::CopyFileW(source.c_str(), Data(L"Language\\" + name).c_str(), FALSE));
    }

    TempDir dir_;
    std::unique_ptr<TMainForm> form_;
    wchar_t previousDirectory_[MAX_PATH] = {};
};

} // namespace snapkeep::test
