// Builds against the installed package: converts a volume text and constructs the panel.
#include <QApplication>
#include <cstdio>

#include "CPanelBondTenderAllocationHelper.h"
#include "CPanelBondTenderAllocationPanel.h"

int main(int argc, char** argv)
{
    if (TC::CPanelBondTenderAllocationHelper::str2Int("12.5") != 125000) {
        std::fprintf(stderr, "str2Int gave a wrong value\n");
        return 1;
    }
    QApplication app(argc, argv);
    TC::CPanelBondTenderAllocationPanel panel(0, nullptr);
    panel.setParam(panel.param());
    std::printf("consumer ok\n");
    return 0;
}
