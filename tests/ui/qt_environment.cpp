// One QApplication for the whole test program, on the offscreen platform,
// with settings and the home folder pointed at a temporary folder so that no
// test writes into the real user's profile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <cstdlib>

#include "support/temp_dir.h"

namespace {

class QtEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        profile_ = std::make_unique<lorvex::testing::TempDir>();
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("HOME", profile_->path().c_str(), 1);
        setenv("XDG_CONFIG_HOME", profile_->file("config").c_str(), 1);
        QSettings::setDefaultFormat(QSettings::IniFormat);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                           QString::fromStdString(profile_->file("settings")));
        static int argc = 1;
        static char name[] = "test_ui";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        QApplication::setOrganizationName(QStringLiteral("Lorvex Soft"));
        QApplication::setApplicationName(QStringLiteral("Lorvex"));
    }
    void TearDown() override {
        app_.reset();
        profile_.reset();
    }

  private:
    std::unique_ptr<lorvex::testing::TempDir> profile_;
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
