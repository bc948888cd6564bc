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

void resetHost()
{
    ttservice::TraderCenter::instance()->waitForDeliveries();
    ttservice::CHostStore::instance().reset();
}

} // namespace testsupport
