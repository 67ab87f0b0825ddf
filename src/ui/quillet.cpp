#include "ui/quillet.h"

#include <QDesktopServices>
#include <QDir>
#include <QSettings>

#include "shell/workspace.h"
#include "ui/mainfrm.h"
#include "ui/session.h"
#include "ui/source_ui/dirtreectrl.h"

namespace lorvex {

CQuilletApp::CQuilletApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QLatin1String(kOrganisation));
    setApplicationName(QLatin1String(kApplication));
    setApplicationVersion(QStringLiteral("0.1"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    connect(this, &QCoreApplication::aboutToQuit, this, [this] {
        if (session_) session_->stopWorkers();
    });
}

CQuilletApp::~CQuilletApp() {
    session_.reset();
}

QString CQuilletApp::vendorAddress() {
    QSettings settings;
    QString address = settings.value(QStringLiteral("Misc_Info/vendor_address")).toString();
    if (address.isEmpty()) address = QLatin1String(kDefaultVendorAddress);
    while (address.endsWith(QLatin1Char('/'))) address.chop(1);
    return address;
}

bool CQuilletApp::InitInstance() {
    AppSession::Options options;
    options.programDir = ProgramDirectory();
    options.treeRoot = QDir::homePath();
    options.vendorAddress = vendorAddress();
    options.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    session_ = std::make_unique<AppSession>(std::move(options));
    if (session_->frame() == nullptr) return false;
    session_->frame()->resize(1000, 700);
    session_->frame()->show();
    // A folder named on the command line is selected in the tree, as if
    // the user had picked it.
    const QStringList args = arguments();
    if (args.size() > 1) session_->dirTree()->selectPath(QDir(args[1]).absolutePath());
    return true;
}

}  // namespace lorvex
