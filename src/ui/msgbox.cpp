#include "ui/msgbox.h"

#include <QApplication>
#include <QMessageBox>

namespace lorvex {
namespace {

std::function<void(const QString&)>& hookSlot() {
    static std::function<void(const QString&)> hook;
    return hook;
}

}  // namespace

void showMessageBox(const QString& text) {
    if (hookSlot()) {
        hookSlot()(text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Lorvex"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

void setMessageBoxHook(std::function<void(const QString&)> hook) {
    hookSlot() = std::move(hook);
}

}  // namespace lorvex
