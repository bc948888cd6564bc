// One seeded full save, run under the C, German and Chinese locales of the C library:
// the row keys, the cell texts, the signal payloads and the stored records (their BSON
// bytes) come out identical. A German process locale makes printf write "4,500000" and
// atof read "1.5" as 1, so any conversion that leans on it shows up here.
//
// The locales come from scripts/setup; without them the test is skipped, except on CI.

#include <QSignalSpy>
#include <clocale>
#include <map>
#include <sstream>

#include "panel_workflow_support.h"

using namespace wf;

namespace {

// Every cell's display text of one table, row by row, with the row keys.
void dumpTable(std::ostringstream& out, const char* name, const QWidget* area)
{
    KZ::CStandardHpfTable* table = hpfTable(area);
    table->syncNow();
    const QAbstractItemModel* model = table->qtModel();
    for (int r = 0; r < model->rowCount(); ++r) {
        out << name << " row " << model->index(r, 0).data(KZ::kRowKeyRole).toString().toStdString() << ":";
        for (int c = 0; c < model->columnCount(); ++c)
            out << " [" << model->index(r, c).data().toString().toStdString() << "]";
        out << "\n";
    }
}

// The Dutch rate tender won, distributed fairly, split over three accounts and saved.
std::string seededSaveDump()
{
    freshHost();
    seedDutchRateTender();
    testsupport::MessageBoxRecorder boxes;
    PanelUnderTest p;
    std::ostringstream out;

    allocateDutchTender(p);

    QSignalSpy amounts(p.panel.get(), &TC::CPanelBondTenderAllocationPanel::sigRefreshBondTenderWinBidAmount);
    boxes.expect();
    click(p.saveButton());
    for (const auto& box : boxes.boxes())
        out << "box " << box.title.toStdString() << ": " << box.text.toStdString() << "\n";
    for (const auto& signal : amounts)
        out << "payload " << signal.at(0).toString().toStdString() << "\n";

    dumpTable(out, "one", p.one());
    dumpTable(out, "two", p.two());
    dumpTable(out, "three", p.three());
    for (const SHostCall& call : updateCalls()) {
        out << "call " << call.kind << " " << call.bondCode << " " << call.typeId << " " << call.operation;
        for (int id : call.commandIds)
            out << " " << id;
        out << "\n";
        for (const IDataPtr& record : call.records) {
            const BSONObj bson = record ? record->bsonValueToObj() : BSONObj();
            const QByteArray bytes(reinterpret_cast<const char*>(bson.objdata()), int(bson.objsize()));
            out << "  " << (record ? record->getKey() + " " + bytes.toHex().toStdString() : "null") << "\n";
        }
    }
    testsupport::resetHost();
    return out.str();
}

} // namespace

TEST(LocaleSave, shouldSaveTheSameKeysPayloadsAndRecordsUnderEveryLocale)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    std::map<std::string, std::string> dumps;
    for (const char* name : {"C", "de_DE.UTF-8", "zh_CN.UTF-8"}) {
        if (!std::setlocale(LC_ALL, name)) {
            if (qEnvironmentVariableIsSet("CI"))
                ADD_FAILURE() << "locale " << name << " is missing: run scripts/setup";
            continue;
        }
        dumps[name] = seededSaveDump();
    }
    std::setlocale(LC_ALL, previous.c_str());
    if (dumps.size() < 2)
        GTEST_SKIP() << "fewer than two of the locales are installed";

    const std::string& reference = dumps.at("C");
    EXPECT_NE(reference.find("payload DB001|4.500000"), std::string::npos) << reference;
    for (const auto& dump : dumps)
        EXPECT_EQ(reference, dump.second) << "under " << dump.first;
}
