// The application object: the Qt application with the program's settings
// names, and the start-up routine that builds the one AppSession (document,
// main window, views). Workers are stopped and joined on aboutToQuit, before
// any widget, the document or a configuration database is destroyed.
// UI thread only.
#pragma once

#include <QApplication>
#include <QString>
#include <memory>

namespace lorvex {

class AppSession;

class CQuilletApp : public QApplication {
  public:
    static constexpr const char* kOrganisation = "Lorvex Soft";
    static constexpr const char* kApplication = "Lorvex";
    static constexpr const char* kDefaultVendorAddress = "https://www.lorvex.example";

    CQuilletApp(int& argc, char** argv);
    ~CQuilletApp() override;

    // Builds the session and shows the main window; false when the window
    // could not be made. A folder below the home folder given as the first
    // argument is selected in the folder tree.
    bool InitInstance();
    AppSession* session() { return session_.get(); }

    // The vendor's web address: the settings value Misc_Info/vendor_address,
    // or kDefaultVendorAddress.
    static QString vendorAddress();

  private:
    std::unique_ptr<AppSession> session_;
};

}  // namespace lorvex
