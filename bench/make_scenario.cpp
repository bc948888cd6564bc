// Writes a generated tender as a desk scenario: bench_make_scenario S|M|L SEED FILE
#include <QFile>
#include <QJsonDocument>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "TenderGenerator.h"

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s S|M|L SEED FILE\n", argv[0]);
        return 2;
    }
    const bench::CGeneratedTender tender(bench::tenderSize(argv[1]),
                                         static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)));
    QFile file(QString::fromLocal8Bit(argv[3]));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "%s: cannot write\n", argv[3]);
        return 1;
    }
    file.write(QJsonDocument(tender.toScenario()).toJson(QJsonDocument::Indented));
    return 0;
}
