#include "TestSupport.h"

#include <gtest/gtest.h>

#include "services/HostServices.h"
#include "services/HostStore.h"

namespace testsupport {

MessageBoxRecorder::MessageBoxRecorder()
{
    KZ::CMessageBox::setHandler([this](KZ::CMessageBox::EKind kind, const QString& title, const QString& text, int) {
        boxes_.push_back({kind, title, text});
        if (static_cast<int>(boxes_.size()) > allowed_)
            ADD_FAILURE() << "unexpected message box: " << title.toStdString() << " / " << text.toStdString();
        return kind == KZ::CMessageBox::Question ? answer_ : static_cast<int>(KZ::CMessageBox::Ok);
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    KZ::CMessageBox::setHandler(KZ::CMessageBox::Handler());
}

QStringList MessageBoxRecorder::texts() const
{
    QStringList out;
    for (const SBox& box : boxes_)
        out << box.text;
    return out;
}

boost::shared_ptr<ttservice::CProduct> product(int id, const std::string& name,
                                               const std::vector<std::pair<int, std::string>>& accounts)
{
    boost::shared_ptr<ttservice::CProduct> p(new ttservice::CProduct());
    p->productId = id;
    p->productName = name;
    for (const auto& [type, accountId] : accounts) {
        p->accounts.emplace_back(new ttservice::CAccountInfo());
        p->accounts.back()->accountType = type;
        p->accounts.back()->accountId = accountId;
    }
    return p;
}

void resetHost()
{
    ttservice::TraderCenter::instance()->waitForDeliveries();
    ttservice::CHostStore::instance().reset();
}

} // namespace testsupport
