// The desk's scenario loader from arbitrary bytes: a scenario is either refused with a
// message or accepted whole, and an accepted one goes into the store without a crash. The
// one-pass reader and Qt's document read every text alike: the same verdict, the same
// message, the same scenario to the bit.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "CScenario.h"
#include "services/HostStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray json(reinterpret_cast<const char*>(data), static_cast<int>(size));
    desk::CScenario scenario;
    QString error;
    const bool accepted = desk::CScenario::parse(json, QStringLiteral("fuzz.json"), &scenario, &error);
    if (accepted != error.isEmpty())
        std::abort();
    desk::CScenario fromDocument;
    QString documentError;
    if (desk::CScenario::parseWithQtDocument(json, QStringLiteral("fuzz.json"), &fromDocument, &documentError) != accepted
        || documentError != error || !(fromDocument == scenario))
        std::abort();
    if (!accepted)
        return 0;
    // Every reference an accepted scenario makes is resolvable.
    for (const auto& command : scenario.commands())
        if (!scenario.bond(command.bondCode))
            std::abort();
    if (!scenario.bonds().empty() && !scenario.bond(scenario.defaultBondCode()))
        std::abort();
    ttservice::CHostStore& store = ttservice::CHostStore::instance();
    store.reset();
    scenario.applyTo(store);
    return 0;
}
