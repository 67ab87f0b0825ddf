#include "ui/dockpagebar.h"

#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>
#include <cstring>

#include "hub/message_hub.h"
#include "hub/messages.h"

namespace lorvex {

CDockPageBar::CDockPageBar(int childId, QSize defaultSize, QWidget* parent)
    : QDockWidget(parent), childId_(childId), defaultSize_(defaultSize) {
    setObjectName(QStringLiteral("DockPageBar%1").arg(childId));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    tabs_ = new QTabBar(body);
    tabs_->setExpanding(false);
    tabs_->setDocumentMode(true);
    stack_ = new QStackedWidget(body);
    layout->addWidget(tabs_);
    layout->addWidget(stack_, 1);
    setWidget(body);
    connect(tabs_, &QTabBar::currentChanged, this, &CDockPageBar::activate);
}

void CDockPageBar::addPage(const QString& title, const QIcon& icon, QWidget* page) {
    bool first = tabs_->count() == 0;
    {
        // The tab row reports the first tab as current on insertion; the
        // first page is activated explicitly below, once it is in place.
        QSignalBlocker block(tabs_);
        tabs_->addTab(icon, title);
    }
    stack_->addWidget(page);
    if (first) activate(0);
}

int CDockPageBar::pageCount() const {
    return tabs_->count();
}
int CDockPageBar::activePage() const {
    return tabs_->currentIndex();
}
QString CDockPageBar::pageTitle(int index) const {
    return tabs_->tabText(index);
}
QWidget* CDockPageBar::page(int index) const {
    return stack_->widget(index);
}

void CDockPageBar::setActivePage(int index) {
    tabs_->setCurrentIndex(index);
}

void CDockPageBar::activate(int index) {
    if (index < 0 || index >= stack_->count()) return;
    stack_->setCurrentIndex(index);
    QString title = tabs_->tabText(index);
    setWindowTitle(title);
    update();
    PanelPageNote note;
    QByteArray bytes = title.toUtf8();
    std::memcpy(note.title, bytes.constData(),
                std::min<size_t>(static_cast<size_t>(bytes.size()), sizeof(note.title) - 1));
    if (MessageHub* hub = app_hub()) hub->Send(MSG_PANEL_PAGE, &note);
}

}  // namespace lorvex
