// Writes generated tenders as a desk scenario, and optionally a desk database holding the
// first tender's allocation as saved, so that the desk opens on a complete table three.
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "CDeskDatabase.h"
#include "TenderGenerator.h"
#include "services/HostServices.h"
#include "services/HostStore.h"

namespace {

const char kUsage[] =
    "usage: bench_make_scenario S|M|L SEED FILE [--bonds N] [--db DBFILE]\n"
    "  Writes a generated tender of size S, M or L as a desk scenario FILE; --bonds N\n"
    "  writes N such bonds (one more bond to switch to), --db saves the first bond's\n"
    "  allocation into a new desk database DBFILE, as the panel's save would.\n";

// What the panel's save sends, through the same update calls, into the database.
bool saveAllocation(const bench::CGeneratedTender& tender, const QString& path)
{
    QString openError;
    std::unique_ptr<desk::CDeskDatabase> database = desk::CDeskDatabase::open(path, &openError);
    if (!database) {
        std::fprintf(stderr, "%s\n", openError.toUtf8().constData());
        return false;
    }
    using namespace ttservice;
    CHostStore& store = CHostStore::instance();
    store.setPersistence(database.get());
    const bench::SStoredAllocation stored = tender.storedAllocation();
    CTradeClient& client = *CTradeClient::instance();
    client.updateBondTenderDatas_async(tender.bondCode(), RT_ALLOC_PARAMS, stored.params);
    client.updateBondTenderDatas_async(tender.bondCode(), RT_ALLOC_UNDERWRITER, stored.underwriterRows);
    client.updateBondTenderDatas_async(tender.bondCode(), RT_ALLOC_PRODUCT, stored.productRows);
    client.updateTenderCmds_async(TOP_SAVE_WIN_BID, stored.commandIds, stored.accountRows);
    QString error;   // the four calls are one action: one commit
    const bool committed = store.commitPending(&error);
    TraderCenter::instance()->waitForDeliveries();
    store.setPersistence(nullptr);
    if (!committed)
        std::fprintf(stderr, "%s\n", error.toUtf8().constData());
    return committed;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc < 4) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    int bonds = 1;
    QString dbPath;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bonds") == 0 && i + 1 < argc)
            bonds = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--db") == 0 && i + 1 < argc)
            dbPath = QString::fromLocal8Bit(argv[++i]);
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    const bench::STenderSize& size = bench::tenderSize(argv[1]);
    const auto seed = static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10));
    std::vector<std::unique_ptr<bench::CGeneratedTender>> tenders;
    std::vector<const bench::CGeneratedTender*> shown;
    for (int b = 1; b <= bonds; ++b) {
        tenders.emplace_back(new bench::CGeneratedTender(size, seed + static_cast<unsigned>(b - 1), b));
        shown.push_back(tenders.back().get());
    }

    QFile file(QString::fromLocal8Bit(argv[3]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "%s: cannot write\n", argv[3]);
        return 1;
    }
    file.write(QJsonDocument(bench::CGeneratedTender::scenarioOf(shown)).toJson(QJsonDocument::Indented));
    file.close();
    if (!dbPath.isEmpty() && !saveAllocation(*tenders.front(), dbPath))
        return 1;
    return 0;
}
