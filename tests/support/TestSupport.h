#pragma once
// Helpers shared by the test programs.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <boost/shared_ptr.hpp>
#include <string>
#include <utility>
#include <vector>

#include "KZ/MessageBox.h"
#include "ttservice/BondTenderRecords.h"

namespace testsupport {

// Intercepts every message box for its lifetime. A test states the boxes it expects
// with expect(); a box it did not expect fails the test.
class MessageBoxRecorder {
public:
    struct SBox { KZ::CMessageBox::EKind kind; QString title; QString text; };

    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // Allows the next boxes; question boxes are answered with answer.
    void expect(int count = 1) { allowed_ += count; }
    void setQuestionAnswer(int answer) { answer_ = answer; }
    const std::vector<SBox>& boxes() const { return boxes_; }
    QStringList texts() const;

private:
    std::vector<SBox> boxes_;
    int allowed_ = 0;
    int answer_ = KZ::CMessageBox::Ok;
};

// A user's product with its accounts given as (account type, account id).
boost::shared_ptr<ttservice::CProduct> product(int id, const std::string& name,
                                               const std::vector<std::pair<int, std::string>>& accounts = {});

// Puts the host stand-in back to a fresh state (records, calls, settings, products).
void resetHost();

// A test that starts on a fresh host stand-in and leaves it fresh.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { resetHost(); }
    void TearDown() override { resetHost(); }
};

} // namespace testsupport
