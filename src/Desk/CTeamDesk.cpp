#include "CTeamDesk.h"

#include <QLabel>
#include <QStatusBar>
#include <QTableWidget>
#include <cstdio>

#include "CDeskWindow.h"
#include "CTeamDatabase.h"
#include "CTeamLiveFeed.h"
#include "KZ/MessageBox.h"
#include "services/HostStore.h"

namespace desk {

std::unique_ptr<CTeamDesk> CTeamDesk::open(const QString& uri, QString* error)
{
    std::unique_ptr<CTeamDatabase> database = CTeamDatabase::open(uri, CTeamDatabase::currentUser(), error);
    return database ? std::unique_ptr<CTeamDesk>(new CTeamDesk(std::move(database))) : nullptr;
}

CTeamDesk::CTeamDesk(std::unique_ptr<CTeamDatabase> database) : database_(std::move(database)) {}

CTeamDesk::~CTeamDesk()
{
    detach();
}

bool CTeamDesk::loadInto(ttservice::CHostStore& store, QString* error, QStringList* skipped)
{
    return database_->loadInto(store, error, skipped);
}

QString CTeamDesk::stateText(bool connected)
{
    return connected ? QStringLiteral("团队数据库：已连接")
                     : QStringLiteral("与数据库服务器的连接已断开，正在重新连接（显示的内容保持不变，暂不能保存）");
}

void CTeamDesk::attachTo(CDeskWindow& window)
{
    window_ = &window;
    stateLabel_ = new QLabel(&window);
    window.statusBar()->addPermanentWidget(stateLabel_);
    // The feed's thread hands everything to the window's thread.
    const auto onState = [this](bool connected) {
        QMetaObject::invokeMethod(this, [this, connected] { showState(connected); }, Qt::QueuedConnection);
    };
    const auto onChange = [this](const std::string&) {
        QMetaObject::invokeMethod(this, [this] { if (window_) window_->refreshBondResults(); }, Qt::QueuedConnection);
    };
    // A save the server refused is told instead of its success; one refused for another
    // desk's save offers that desk's allocation.
    ttservice::CHostStore::instance().setCommitFailureHandler([this](const QString& message) { tellRefusal(message); });
    // A bond the panel shows anew is shown as the store holds it: its next save is based on that.
    connect(window.bondList(), &QTableWidget::currentCellChanged, this,
            [this] { if (window_) database_->takeUp(window_->currentBond()); });
    feed_.reset(new CTeamLiveFeed(*database_, ttservice::CHostStore::instance(), onState, onChange));
}

void CTeamDesk::detach()
{
    feed_.reset();
    if (window_)
        ttservice::CHostStore::instance().setCommitFailureHandler(nullptr);
    if (window_)
        disconnect(window_->bondList(), nullptr, this, nullptr);
    window_ = nullptr;
}

void CTeamDesk::showState(bool connected)
{
    if (!window_)
        return;
    stateLabel_->setText(stateText(connected));
    window_->statusBar()->showMessage(stateText(connected));
}

void CTeamDesk::tellRefusal(const QString& message)
{
    std::fprintf(stderr, "bond-allocation-desk: %s\n", message.toUtf8().constData());
    if (window_)
        window_->noteSaveFailed();   // the work stays unsaved
    const std::string bondCode = database_->lastConflict().bondCode;
    if (bondCode.empty()) {
        KZ::CMessageBox::critical(0, window_, QStringLiteral("保存失败"), message);
        return;
    }
    if (KZ::CMessageBox::question(0, window_, QStringLiteral("保存失败"), message + QStringLiteral("\n") + reloadQuestion())
        == KZ::CMessageBox::Ok)
        // Not inside the save that was refused: once control is back in the event loop.
        QMetaObject::invokeMethod(this, [this, bondCode] { reload(bondCode); }, Qt::QueuedConnection);
}

void CTeamDesk::reload(const std::string& bondCode)
{
    QString error;
    if (!database_->reloadBond(ttservice::CHostStore::instance(), bondCode, &error)) {
        KZ::CMessageBox::critical(0, window_, QStringLiteral("重新载入失败"), error);
        return;
    }
    if (window_->currentBond() == bondCode)
        window_->showBond(bondCode);
    window_->refreshBondResults();
}

} // namespace desk
